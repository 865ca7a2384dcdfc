#include "session/ExchangeLimits.h"

#include <mutex>

namespace nerolin {
namespace {

std::mutex limitsMutex;
ExchangeLimits limits;

}  // namespace

ExchangeLimits CurrentExchangeLimits()
{
    std::lock_guard lock(limitsMutex);
    return limits;
}

void SetExchangeLimits(const ExchangeLimits& newLimits)
{
    std::lock_guard lock(limitsMutex);
    limits = newLimits;
}

}  // namespace nerolin
