#include "tests/support/ScopedUserStateFolder.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/windows/RegistryKey.h"
#include "platform/windows/WideText.h"

namespace nerolin::test {
namespace {

constexpr wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kLocalAppData[] = L"Local AppData";

KeyHandle OpenShellFolders()
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return KeyHandle();
    return KeyHandle(key);
}

}  // namespace

// The value as it was, type and bytes, to be written back as it was.
struct ScopedUserStateFolder::Saved {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// A test that cannot point the folder elsewhere would write into the real
// one: it stops instead.
ScopedUserStateFolder::ScopedUserStateFolder(const std::string& folder) : saved_(std::make_unique<Saved>())
{
    std::filesystem::create_directories(folder);
    const KeyHandle key = OpenShellFolders();
    if (!key) std::abort();
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), kLocalAppData, nullptr, &saved_->type, nullptr, &size) == ERROR_SUCCESS) {
        saved_->bytes.resize(size);
        saved_->present = RegQueryValueExW(key.get(), kLocalAppData, nullptr, &saved_->type, saved_->bytes.data(),
                                           &size) == ERROR_SUCCESS;
        saved_->bytes.resize(size);
    }
    std::wstring path = WideText(folder);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    if (RegSetValueExW(key.get(), kLocalAppData, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        std::abort();
}

ScopedUserStateFolder::~ScopedUserStateFolder()
{
    const KeyHandle key = OpenShellFolders();
    if (!key) return;
    if (saved_->present) {
        RegSetValueExW(key.get(), kLocalAppData, 0, saved_->type, saved_->bytes.data(),
                       static_cast<DWORD>(saved_->bytes.size()));
    } else {
        RegDeleteValueW(key.get(), kLocalAppData);
    }
}

}  // namespace nerolin::test
