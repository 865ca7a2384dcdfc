// Base64 in Windows' line layout, which texts exchanged with the service
// follow: 64 characters per line, CR LF after every line including the last,
// optionally inside a PEM frame for the label CERTIFICATE. The decoder
// accepts what Windows' decoder accepts and refuses the rest.
#include "common/Text.h"

#include <array>
#include <optional>

namespace nerolin {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineLength = 64;
constexpr std::string_view kBeginMarker = "-----BEGIN ";
constexpr std::string_view kEndMarker = "-----END ";
constexpr std::string_view kDashes = "-----";

constexpr std::array<int, 256> MakeDecodeTable()
{
    std::array<int, 256> table{};
    for (auto& entry : table) entry = -1;
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}
constexpr std::array<int, 256> kDecodeTable = MakeDecodeTable();

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string EncodeBody(const std::uint8_t* data, std::size_t length)
{
    std::string flat;
    flat.reserve((length + 2) / 3 * 4);
    for (std::size_t i = 0; i < length; i += 3) {
        const std::uint32_t b0 = data[i];
        const std::uint32_t b1 = i + 1 < length ? data[i + 1] : 0;
        const std::uint32_t b2 = i + 2 < length ? data[i + 2] : 0;
        const std::uint32_t group = (b0 << 16) | (b1 << 8) | b2;
        flat.push_back(kAlphabet[(group >> 18) & 0x3F]);
        flat.push_back(kAlphabet[(group >> 12) & 0x3F]);
        flat.push_back(i + 1 < length ? kAlphabet[(group >> 6) & 0x3F] : '=');
        flat.push_back(i + 2 < length ? kAlphabet[group & 0x3F] : '=');
    }
    std::string lines;
    lines.reserve(flat.size() + (flat.size() / kLineLength + 1) * 2);
    for (std::size_t start = 0; start < flat.size(); start += kLineLength) {
        lines.append(flat, start, kLineLength);
        lines.append("\r\n");
    }
    return lines;
}

// Groups of four characters, white space skipped anywhere. The first "="
// must be completed to a group of four with further "=" and ends the
// decoding; whatever follows is not looked at. A final group with one data
// character still gives one byte ("V===" is "T"), as the platform does.
std::optional<Bytes> DecodeBody(std::string_view body)
{
    Bytes bytes;
    bytes.reserve(body.size() / 4 * 3);
    std::array<int, 4> group{};
    std::size_t filled = 0;
    std::size_t dataCount = 4;  // data characters of the group that padding closes
    bool padding = false;
    for (char c : body) {
        if (IsSkipped(c)) continue;
        if (c == '=') {
            if (!padding) dataCount = filled;
            padding = true;
            group[filled++] = 0;
        } else {
            const int value = kDecodeTable[static_cast<unsigned char>(c)];
            if (value < 0 || padding) return std::nullopt;
            group[filled++] = value;
        }
        if (filled < 4) continue;
        const std::uint32_t bits = (static_cast<std::uint32_t>(group[0]) << 18) |
                                   (static_cast<std::uint32_t>(group[1]) << 12) |
                                   (static_cast<std::uint32_t>(group[2]) << 6) | static_cast<std::uint32_t>(group[3]);
        const std::size_t count = padding ? (dataCount <= 1 ? dataCount : dataCount - 1) : 3;
        for (std::size_t i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(bits >> (16 - 8 * i)));
        filled = 0;
        if (padding) return bytes;
    }
    if (filled != 0) return std::nullopt;
    return bytes;
}

// The body between a "-----BEGIN <label>-----" line and a "-----END " line.
// Text before the BEGIN line is skipped; the label is not checked.
std::optional<std::string_view> PemBody(std::string_view text)
{
    const std::size_t begin = text.find(kBeginMarker);
    if (begin == std::string_view::npos) return std::nullopt;
    const std::size_t labelEnd = text.find(kDashes, begin + kBeginMarker.size());
    if (labelEnd == std::string_view::npos) return std::nullopt;
    const std::size_t bodyStart = labelEnd + kDashes.size();
    const std::size_t end = text.find(kEndMarker, bodyStart);
    if (end == std::string_view::npos) return std::nullopt;
    return text.substr(bodyStart, end - bodyStart);
}

}  // namespace

std::string Base64Encode(const std::uint8_t* data, std::size_t length, Base64Format format)
{
    if (data == nullptr || length == 0) return {};
    std::string body = EncodeBody(data, length);
    if (format == Base64Format::Base64) return body;
    return "-----BEGIN CERTIFICATE-----\r\n" + body + "-----END CERTIFICATE-----\r\n";
}

std::string Base64Encode(const Bytes& bytes, Base64Format format)
{
    return Base64Encode(bytes.data(), bytes.size(), format);
}

Bytes Base64Decode(std::string_view text, Base64Format format)
{
    if (text.empty()) return {};
    std::optional<std::string_view> body = text;
    if (format == Base64Format::Base64Header) body = PemBody(text);
    if (!body) return {};
    std::optional<Bytes> bytes = DecodeBody(*body);
    return bytes ? std::move(*bytes) : Bytes{};
}

}  // namespace nerolin
