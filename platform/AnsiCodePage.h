#pragma once

// Conversions between UTF-16 and the narrow character set that the system
// calls the thread's ANSI code page: on Windows the code page itself
// (WideCharToMultiByte, MultiByteToWideChar), elsewhere the character set of
// the current locale (nl_langinfo(CODESET) through iconv). A character the
// set lacks becomes its default character ("?" for a narrow set, U+FFFD for
// UTF-16). A null input gives false and leaves the output as it was. Other
// failures throw std::system_error.

#include <string>

namespace nerolin {

bool WideToAnsi(const char16_t* wide, std::string& ansi);
bool AnsiToWide(const char* ansi, std::u16string& wide);

}  // namespace nerolin
