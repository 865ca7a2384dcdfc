// The update feed as an update host (or a proxy in its place) may send it,
// and version texts compared as the offer is chosen.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/updater/Appcast.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto feed = nerolin::ReadAppcast(text, "linux"); feed && feed->newest) {
        nerolin::CompareVersions(feed->newest->version, "1.0.21");
    }
    // Two version texts separated by a zero byte: the order is antisymmetric.
    const auto separator = std::find(text.begin(), text.end(), '\0');
    if (separator != text.end()) {
        const std::string a(text.begin(), separator);
        const std::string b(separator + 1, text.end());
        const int ab = nerolin::CompareVersions(a, b);
        const int ba = nerolin::CompareVersions(b, a);
        if ((ab < 0) != (ba > 0) || (ab == 0) != (ba == 0)) __builtin_trap();
    }
    return 0;
}
