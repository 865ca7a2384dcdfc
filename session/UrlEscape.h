#pragma once

// Percent escaping with Windows' character rules (those of its shell's
// UrlEscape and UrlUnescape), which links must match byte for byte
// (docs/url-escaping.md lists the rules). The
// rules work on UTF-16 code units: a unit of 0x80..0xFF becomes one %XX of
// that unit, and units of 0x100 and above are never escaped.

#include <string>
#include <string_view>

namespace nerolin {

enum UrlEscapeFlags : unsigned {
    kUrlEscapeDefault = 0,
    // Also escape "%", past a "?" or "#" too, so that UrlUnescapeInPlace
    // gives back exactly the input.
    kUrlEscapePercent = 1u << 0,
    // The text is one path segment: also escape "/", "?", "#" and "%", and
    // never stop at "?" or "#".
    kUrlEscapeSegmentOnly = 1u << 1,
};

// Without kUrlEscapeSegmentOnly, a text that does not begin with a scheme
// (two or more of [A-Za-z0-9+-.] and ":") is escaped up to its first "?" or
// "#" and kept as it is from there on (but for "%" under kUrlEscapePercent).
std::u16string UrlEscape(std::u16string_view text, unsigned flags = kUrlEscapeDefault);

// Every "%" followed by two hexadecimal digits (either case) becomes the one
// code unit of that byte value, in a single pass over the whole text ("?"
// and "#" do not stop it); everything else stays. It cannot fail.
void UrlUnescapeInPlace(std::u16string& text);

}  // namespace nerolin
