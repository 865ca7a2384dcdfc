#pragma once

// The buffer form the key-storage library takes hashes in and hands
// signatures back in: texts each followed by one zero byte, and one more
// zero byte at the end.

#include <cstddef>
#include <string>
#include <vector>

#include "common/Text.h"

namespace nerolin {

// 1 + the sum of (length + 1) bytes; a text with a zero byte inside would
// end early, so Base64 texts are what goes in.
Bytes BuildMultiString(const std::vector<std::string>& texts);

// The texts of a multi-string, up to the first empty one or maxTexts,
// whichever comes first.
std::vector<std::string> ReadMultiString(const char* buffer, std::size_t maxTexts);

}  // namespace nerolin
