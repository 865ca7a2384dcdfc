#include "platform/DynamicLibrary.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "platform/windows/SystemErrorText.h"
#include "platform/windows/WideText.h"

namespace nerolin {
namespace {

HMODULE Module(void* handle) { return static_cast<HMODULE>(handle); }

}  // namespace

bool DynamicLibrary::Open(const std::string& file, LoadFailure& failure)
{
    Close();
    std::wstring wide;
    try {
        wide = WideText(file);
    } catch (const std::range_error&) {
        failure.code = ERROR_INVALID_NAME;
        failure.text = SystemErrorText(ERROR_INVALID_NAME);
        return false;
    }
    // No dialog of the system's own when the file is on a drive without a
    // medium: the failure is this program's to report.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    handle_ = LoadLibraryW(wide.c_str());
    const DWORD error = GetLastError();
    SetErrorMode(previous);
    if (handle_) return true;
    failure.code = error;
    failure.text = SystemErrorText(error);
    return false;
}

bool DynamicLibrary::Close()
{
    if (handle_ && FreeLibrary(Module(handle_))) handle_ = nullptr;
    return handle_ == nullptr;
}

void* DynamicLibrary::Address(const char* name, LoadFailure& failure) const
{
    if (!handle_) return nullptr;
    FARPROC address = GetProcAddress(Module(handle_), name);
    if (address) return reinterpret_cast<void*>(address);
    failure.code = GetLastError();
    failure.text = SystemErrorText(failure.code);
    return nullptr;
}

std::string DynamicLibrary::Path() const
{
    if (!handle_) return {};
    // Long paths exceed MAX_PATH; the call truncates silently, so grow until it fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    while (buffer.size() <= 32768) {
        const DWORD length = GetModuleFileNameW(Module(handle_), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            try {
                return Utf8Text(std::wstring_view(buffer.data(), length));
            } catch (const std::range_error&) {
                return {};
            }
        }
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

std::string OpenFailureEntry(const LoadFailure& failure)
{
    char number[48];
    std::snprintf(number, sizeof number, " error: %d (0x%08X)", static_cast<std::int32_t>(failure.code), failure.code);
    return std::string("LoadLibrary") + number;
}

}  // namespace nerolin
