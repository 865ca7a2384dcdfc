#include "platform/AnsiCodePage.h"

#include <windows.h>

#include <system_error>

namespace nerolin {

// In the code page of the calling thread and without flags, as the
// converters of the code page are meant to be used: they never fail on
// content. A character the code page lacks becomes its default character; a
// byte sequence it does not define becomes U+FFFD. The result is written
// straight into the output, so a caller that reserved room for a secret
// gets no copy of it left in freed memory.

bool WideToAnsi(const char16_t* wide, std::string& ansi)
{
    if (wide == nullptr) return false;
    const auto* input = reinterpret_cast<const wchar_t*>(wide);
    const int length = WideCharToMultiByte(CP_THREAD_ACP, 0, input, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "WideCharToMultiByte");
    ansi.assign(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(CP_THREAD_ACP, 0, input, -1, ansi.data(), length, nullptr, nullptr) != length)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "WideCharToMultiByte");
    ansi.pop_back();  // the terminating NUL the call counted
    return true;
}

bool AnsiToWide(const char* ansi, std::u16string& wide)
{
    if (ansi == nullptr) return false;
    const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, ansi, -1, nullptr, 0);
    if (length <= 0)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "MultiByteToWideChar");
    wide.assign(static_cast<std::size_t>(length), u'\0');
    if (MultiByteToWideChar(CP_THREAD_ACP, 0, ansi, -1, reinterpret_cast<wchar_t*>(wide.data()), length) != length)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "MultiByteToWideChar");
    wide.pop_back();
    return true;
}

}  // namespace nerolin
