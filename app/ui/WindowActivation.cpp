#include "app/ui/WindowActivation.h"

#include <charconv>

namespace nerolin {

std::optional<std::uint32_t> StartupIdTime(const std::string& startupId)
{
    const auto at = startupId.rfind("_TIME");
    if (at == std::string::npos) return std::nullopt;
    const char* begin = startupId.data() + at + 5;
    const char* end = startupId.data() + startupId.size();
    std::uint32_t time = 0;
    const auto [stop, error] = std::from_chars(begin, end, time);
    if (error != std::errc() || stop != end || time == 0) return std::nullopt;
    return time;
}

}  // namespace nerolin
