#include "platform/LocalTime.h"

namespace nerolin {

bool ToLocalTime(std::time_t moment, std::tm& fields) { return localtime_r(&moment, &fields) != nullptr; }

bool ToUtcTime(std::time_t moment, std::tm& fields) { return gmtime_r(&moment, &fields) != nullptr; }

long UtcOffsetAt(std::time_t moment)
{
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr) return 0;
    return local.tm_gmtoff;
}

}  // namespace nerolin
