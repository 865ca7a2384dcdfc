// A "yendo:" link as a browser may hand it over: unescaped, converted and
// read as a launch request. A request that reads must also survive being
// written back into a link (the QR code's) and read again unchanged.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Text.h"
#include "session/LaunchRequest.h"
#include "session/UrlEscape.h"

namespace {

// The first byte chooses how the rest becomes the UTF-16 parameter: byte by
// byte (as a locale of one byte per character gives it), or in pairs.
std::u16string Parameter(const std::uint8_t* data, std::size_t size)
{
    std::u16string text;
    if (size > 0 && (data[0] & 1) != 0) {
        for (std::size_t i = 1; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    } else {
        for (std::size_t i = 1; i < size; ++i) text += static_cast<char16_t>(data[i]);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::u16string parameter = Parameter(data, size);

    // Escaping with "%" reads back to the same units, whatever they are.
    std::u16string escaped = nerolin::UrlEscape(parameter, nerolin::kUrlEscapePercent);
    nerolin::UrlUnescapeInPlace(escaped);
    if (escaped != parameter) __builtin_trap();
    nerolin::UrlEscape(parameter, nerolin::kUrlEscapeSegmentOnly | nerolin::kUrlEscapePercent);

    const auto json = nerolin::LaunchJsonFromLink(u"yendo:" + parameter);
    if (!json) return 0;
    nerolin::LaunchRequest request;
    if (!nerolin::ParseLaunchRequest(*json, request)) return 0;

    const auto link = nerolin::LaunchLink(request);
    if (!link) return 0;  // a value that is not UTF-8 cannot be written
    const auto again = nerolin::LaunchJsonFromLink(nerolin::Utf8ToWide(*link));
    nerolin::LaunchRequest reread;
    if (!again || !nerolin::ParseLaunchRequest(*again, reread) || reread.sessionUrl != request.sessionUrl ||
        reread.sessionId != request.sessionId) {
        __builtin_trap();
    }
    return 0;
}
