#include "platform/windows/SystemErrorText.h"

#include <windows.h>

#include <stdexcept>

#include "platform/windows/WideText.h"

namespace nerolin {

std::string SystemErrorText(std::uint32_t code)
{
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    try {
        if (!message.empty()) return Utf8Text(message);
    } catch (const std::range_error&) {
    }
    return "error " + std::to_string(code);
}

}  // namespace nerolin
