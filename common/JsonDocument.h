#pragma once

// The one way Nerolin reads a JSON text: the strict grammar of RFC 8259
// (RapidJSON's default parse, nothing but white space after the value), with
// two refusals made before RapidJSON sees a byte.
//
// - Nesting deeper than kMaxJsonDepth. RapidJSON parses, frees and writes
//   values by recursion, one stack frame per level: a few hundred kilobytes
//   of "[" from a link, a service or a file would overflow the stack. No
//   document of the protocol, the whitelist or a filter nests more than five
//   levels, so the limit leaves room for members this program ignores.
// - A raw zero byte. RapidJSON takes one for the end of the text, so what
//   follows it would escape the "nothing after the value" rule; a zero byte
//   is never valid JSON anyway.

#include <string_view>

#include <rapidjson/document.h>

namespace nerolin {

// Arrays and objects inside one another, the outermost counting as 1.
inline constexpr int kMaxJsonDepth = 32;

enum class JsonRefusal {
    ZeroByte,  // a raw zero byte anywhere
    TooDeep,   // nested deeper than kMaxJsonDepth
    Syntax,    // RapidJSON's parse failed; the document says where and why
};

// True when text nests no deeper than limit outside its strings and holds no
// zero byte. Linear and without recursion, whatever the text.
bool JsonDepthWithin(std::string_view text, int limit = kMaxJsonDepth);

// Parses text into document; false (and why, when asked) when it is refused.
bool ParseJsonDocument(std::string_view text, rapidjson::Document& document, JsonRefusal* refusal = nullptr);

}  // namespace nerolin
