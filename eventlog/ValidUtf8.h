#pragma once

#include <string>
#include <string_view>

namespace nerolin {

// The text with every byte sequence that is not valid UTF-8 replaced by
// U+FFFD, so that the store and the exported file hold UTF-8 only, whatever
// a caller or another writer of the store passed in.
std::string ValidUtf8(std::string_view text);

// Whether the text is valid UTF-8 as it stands; quick for plain ASCII, which
// nearly every entry is.
bool IsValidUtf8(std::string_view text);

}  // namespace nerolin
