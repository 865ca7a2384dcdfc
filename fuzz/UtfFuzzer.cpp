// The strict UTF conversions: malformed input is refused, well-formed input
// goes there and back unchanged, in both directions, and trimming never
// lets a malformed text through.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "common/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string utf8(reinterpret_cast<const char*>(data), size);
    try {
        const std::u16string wide = nerolin::Utf8ToWide(utf8);
        if (nerolin::WideToUtf8(wide) != utf8) __builtin_trap();
        nerolin::TrimUtf8(utf8);
    } catch (const std::range_error&) {
        try {
            nerolin::TrimUtf8(utf8);
            __builtin_trap();  // trimming accepted what the conversion refused
        } catch (const std::range_error&) {
        }
    }

    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    try {
        if (nerolin::Utf8ToWide(nerolin::WideToUtf8(units)) != units) __builtin_trap();
    } catch (const std::range_error&) {
    }
    nerolin::HexEncode(data, size);
    return 0;
}
