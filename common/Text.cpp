#include "common/Text.h"

#include <stdexcept>

namespace nerolin {

namespace {

[[noreturn]] void BadConversion() { throw std::range_error("bad conversion"); }

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one UTF-8 sequence at text[position], advancing position. Rejects
// what a strict decoder must: stray continuation bytes, sequences cut short,
// overlong forms, encoded surrogates and values above U+10FFFF.
char32_t DecodeUtf8(std::string_view text, std::size_t& position)
{
    const auto lead = static_cast<unsigned char>(text[position]);
    if (lead < 0x80) {
        ++position;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        BadConversion();
    }
    if (text.size() - position < length) BadConversion();
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[position + i]);
        if (!IsContinuation(byte)) BadConversion();
        value = (value << 6) | (byte & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) BadConversion();
    position += length;
    return value;
}

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

std::string HexEncode(const std::uint8_t* data, std::size_t length)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        text.push_back(kDigits[data[i] >> 4]);
        text.push_back(kDigits[data[i] & 0x0F]);
    }
    return text;
}

std::string HexEncode(const Bytes& bytes) { return HexEncode(bytes.data(), bytes.size()); }

std::u16string Utf8ToWide(std::string_view utf8)
{
    std::u16string wide;
    wide.reserve(utf8.size());
    std::size_t position = 0;
    while (position < utf8.size()) {
        const char32_t value = DecodeUtf8(utf8, position);
        if (value >= 0x10000) {
            wide.push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(value));
        }
    }
    return wide;
}

std::string WideToUtf8(std::u16string_view wide)
{
    std::string utf8;
    utf8.reserve(wide.size() * 3);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t value = wide[i];
        if (value >= 0xD800 && value <= 0xDBFF) {
            if (i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) BadConversion();
            value = 0x10000 + ((value - 0xD800) << 10) + (wide[++i] - 0xDC00);
        } else if (value >= 0xDC00 && value <= 0xDFFF) {
            BadConversion();  // a low surrogate without its high half
        }
        if (value < 0x80) {
            utf8.push_back(static_cast<char>(value));
        } else if (value < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (value >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else if (value < 0x10000) {
            utf8.push_back(static_cast<char>(0xE0 | (value >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xF0 | (value >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    }
    return utf8;
}

std::string TrimUtf8(const std::string& utf8)
{
    // Validate the whole input first: malformed text fails even when nothing
    // would be trimmed. The six characters are ASCII, so on valid UTF-8 they
    // can be cut from the bytes directly; a multi-byte sequence never
    // contains an ASCII byte.
    Utf8ToWide(utf8);
    std::size_t begin = 0;
    std::size_t end = utf8.size();
    while (begin < end && IsTrimmed(utf8[begin])) ++begin;
    while (end > begin && IsTrimmed(utf8[end - 1])) --end;
    return utf8.substr(begin, end - begin);
}

}  // namespace nerolin
