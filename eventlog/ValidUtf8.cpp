#include "eventlog/ValidUtf8.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "common/Text.h"

namespace nerolin {

bool IsValidUtf8(std::string_view text)
{
    // Plain ASCII, nearly every entry, is told eight bytes at a time.
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        high |= word & 0x8080808080808080;
    }
    for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]) & 0x80;
    if (high == 0) return true;
    try {
        Utf8ToWide(text);
        return true;
    } catch (const std::range_error&) {
        return false;
    }
}

std::string ValidUtf8(std::string_view text)
{
    if (IsValidUtf8(text)) return std::string(text);
    // Rare path: rebuild character by character, keeping what is valid.
    std::string valid;
    valid.reserve(text.size() + 8);
    std::size_t position = 0;
    while (position < text.size()) {
        const auto lead = static_cast<unsigned char>(text[position]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string_view candidate = text.substr(position, length);
        bool ok = true;
        try {
            Utf8ToWide(candidate);
        } catch (const std::range_error&) {
            ok = false;
        }
        if (ok) {
            valid.append(candidate);
            position += length;
        } else {
            valid.append("\xEF\xBF\xBD");
            ++position;
        }
    }
    return valid;
}

}  // namespace nerolin
