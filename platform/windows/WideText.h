#pragma once

// UTF-8 texts of the core as the UTF-16 texts of the Windows calls, and
// back. wchar_t is UTF-16 on Windows.

#include <string>
#include <string_view>

#include "common/Text.h"

namespace nerolin {

// Throws std::range_error on malformed UTF-8, like Utf8ToWide.
inline std::wstring WideText(std::string_view utf8)
{
    const std::u16string wide = Utf8ToWide(utf8);
    return std::wstring(wide.begin(), wide.end());
}

// Throws std::range_error on unpaired surrogates, like WideToUtf8.
inline std::string Utf8Text(std::wstring_view wide)
{
    return WideToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace nerolin
