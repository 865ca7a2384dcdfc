#include "eventlog/ValidUtf8.h"

#include <stdexcept>

#include "common/Text.h"

namespace nerolin {

std::string ValidUtf8(std::string_view text)
{
    try {
        Utf8ToWide(text);
        return std::string(text);
    } catch (const std::range_error&) {
    }
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
