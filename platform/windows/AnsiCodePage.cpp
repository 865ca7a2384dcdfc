#include "platform/AnsiCodePage.h"

#include <windows.h>

#include <system_error>

namespace nerolin {

// Without flags, as the converters of the code page are meant to be used:
// they never fail on content. A character the code page lacks becomes its
// default character; a byte sequence it does not define becomes U+FFFD.

bool WideToAnsi(const char16_t* wide, std::string& ansi)
{
    if (wide == nullptr) return false;
    const auto* input = reinterpret_cast<const wchar_t*>(wide);
    const int length = WideCharToMultiByte(CP_ACP, 0, input, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "WideCharToMultiByte");
    std::string converted(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, input, -1, converted.data(), length, nullptr, nullptr) != length)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "WideCharToMultiByte");
    converted.pop_back();  // the terminating NUL the call counted
    ansi = std::move(converted);
    return true;
}

bool AnsiToWide(const char* ansi, std::u16string& wide)
{
    if (ansi == nullptr) return false;
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    if (length <= 0)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "MultiByteToWideChar");
    std::u16string converted(static_cast<std::size_t>(length), u'\0');
    if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, reinterpret_cast<wchar_t*>(converted.data()), length) != length)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "MultiByteToWideChar");
    converted.pop_back();
    wide = std::move(converted);
    return true;
}

}  // namespace nerolin
