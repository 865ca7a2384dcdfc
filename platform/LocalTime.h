#pragma once

// Calendar fields of a moment, in the user's time zone or in UTC.

#include <ctime>

namespace nerolin {

// False (fields unspecified) when the moment has no calendar form.
bool ToLocalTime(std::time_t moment, std::tm& fields);
bool ToUtcTime(std::time_t moment, std::tm& fields);
// Seconds the user's clock is ahead of UTC at the moment (negative west of
// Greenwich, daylight saving included); 0 when it cannot be told.
long UtcOffsetAt(std::time_t moment);

}  // namespace nerolin
