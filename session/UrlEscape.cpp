#include "session/UrlEscape.h"

#include <optional>

namespace nerolin {
namespace {

bool IsSchemeCharacter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' ||
           c == u'.';
}

bool BeginsWithScheme(std::u16string_view text)
{
    std::size_t length = 0;
    while (length < text.size() && IsSchemeCharacter(text[length])) ++length;
    return length >= 2 && length < text.size() && text[length] == u':';
}

bool IsUnsafe(char16_t c, unsigned flags)
{
    if (c >= 0x100) return false;
    if (c <= 0x1F || c >= 0x7F) return true;
    switch (c) {
    case u' ':
    case u'"':
    case u'&':
    case u'<':
    case u'>':
    case u'[':
    case u'\\':
    case u']':
    case u'^':
    case u'`':
    case u'{':
    case u'|':
    case u'}': return true;
    case u'%': return (flags & (kUrlEscapePercent | kUrlEscapeSegmentOnly)) != 0;
    case u'/':
    case u'?':
    case u'#': return (flags & kUrlEscapeSegmentOnly) != 0;
    default: return false;
    }
}

std::optional<unsigned> HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return std::nullopt;
}

}  // namespace

std::u16string UrlEscape(std::u16string_view text, unsigned flags)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    const bool segment = (flags & kUrlEscapeSegmentOnly) != 0;
    const bool stopAtQuery = !segment && !BeginsWithScheme(text);
    std::u16string escaped;
    escaped.reserve(text.size());
    bool pastQuery = false;
    for (char16_t c : text) {
        if (stopAtQuery && (c == u'?' || c == u'#')) pastQuery = true;
        bool escape = pastQuery ? (c == u'%' && (flags & kUrlEscapePercent) != 0) : IsUnsafe(c, flags);
        if (escape) {
            escaped += u'%';
            escaped += kDigits[c >> 4];
            escaped += kDigits[c & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

void UrlUnescapeInPlace(std::u16string& text)
{
    std::size_t out = 0;
    for (std::size_t in = 0; in < text.size(); ++in) {
        if (text[in] == u'%' && in + 2 < text.size()) {
            auto high = HexValue(text[in + 1]);
            auto low = HexValue(text[in + 2]);
            if (high && low) {
                text[out++] = static_cast<char16_t>(*high << 4 | *low);
                in += 2;
                continue;
            }
        }
        text[out++] = text[in];
    }
    text.resize(out);
}

}  // namespace nerolin
