#include "eventlog/EventCapture.h"

#include <utility>

namespace nerolin {
namespace {

std::mutex captureMutex;
EventCapture* activeCapture = nullptr;  // guarded by captureMutex

}  // namespace

EventCapture::EventCapture()
{
    std::lock_guard lock(captureMutex);
    previous_ = activeCapture;
    activeCapture = this;
}

EventCapture::~EventCapture()
{
    std::lock_guard lock(captureMutex);
    if (activeCapture == this) activeCapture = previous_;
}

std::vector<CapturedEntry> EventCapture::Take()
{
    std::lock_guard lock(mutex_);
    return std::exchange(entries_, {});
}

bool CaptureEventEntry(EntryType type, const std::string& text)
{
    std::lock_guard lock(captureMutex);
    if (activeCapture == nullptr) return false;
    std::lock_guard entries(activeCapture->mutex_);
    activeCapture->entries_.push_back({type, text});
    return true;
}

}  // namespace nerolin
