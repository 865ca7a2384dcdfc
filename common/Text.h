#pragma once

// Conversions between the text forms Nerolin handles: UTF-8 byte strings
// (JSON, HTTP bodies, certificates, and on Linux every user-visible and
// event-log text), UTF-16 strings (where a Windows-compatible rule works on
// UTF-16 code units), the locale's character set, hexadecimal and Base64.
// Every function is stateless and safe on any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nerolin {

using Bytes = std::vector<std::uint8_t>;

// Each byte as two upper-case hexadecimal digits, no separators.
std::string HexEncode(const std::uint8_t* data, std::size_t length);
std::string HexEncode(const Bytes& bytes);

// Strict conversions: malformed input throws std::range_error("bad conversion")
// and nothing partial is returned. An embedded U+0000 and a leading U+FEFF are
// ordinary characters.
std::u16string Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::u16string_view wide);

// Removes space, tab, LF, VT, FF and CR from both ends. Throws like
// Utf8ToWide on malformed input. Input with nothing to trim comes back as
// the same bytes.
std::string TrimUtf8(const std::string& utf8);

// Windows' two Base64 layouts (CRYPT_STRING_BASE64HEADER and
// CRYPT_STRING_BASE64), which certificates, hashes and signatures exchanged
// with the service follow.
enum class Base64Format {
    Base64Header = 0,  // PEM frame "-----BEGIN CERTIFICATE-----" ... "-----END CERTIFICATE-----"
    Base64 = 1,        // bare Base64 lines
};

// 64-character lines, each ended by CR LF (the last one too); within the PEM
// frame for Base64Header. Empty input gives the empty text.
std::string Base64Encode(const std::uint8_t* data, std::size_t length, Base64Format format);
std::string Base64Encode(const Bytes& bytes, Base64Format format);

// Accepts what Base64Encode writes (and what the platform accepts: space,
// tab, CR and LF inside the body; text before the BEGIN line in the header
// form). Any failure gives an empty result.
Bytes Base64Decode(std::string_view text, Base64Format format);

}  // namespace nerolin
