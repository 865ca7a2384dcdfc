#include "platform/LocalTime.h"

namespace nerolin {

bool ToLocalTime(std::time_t moment, std::tm& fields) { return localtime_s(&fields, &moment) == 0; }

bool ToUtcTime(std::time_t moment, std::tm& fields) { return gmtime_s(&fields, &moment) == 0; }

long UtcOffsetAt(std::time_t moment)
{
    // The local calendar fields read as if they were UTC differ from the
    // moment by exactly the offset in force then.
    std::tm local{};
    if (localtime_s(&local, &moment) != 0) return 0;
    const std::time_t shifted = _mkgmtime(&local);
    if (shifted == static_cast<std::time_t>(-1)) return 0;
    return static_cast<long>(shifted - moment);
}

}  // namespace nerolin
