#pragma once

// The settings in the Windows registry:
//   user:    HKEY_CURRENT_USER\Software\Tavorel\Nerolin, created on first use
//   machine: HKEY_LOCAL_MACHINE\SOFTWARE\Tavorel\Nerolin in the 32-bit view,
//            never created; written only when it exists and this user may
// A group is a subkey ("WinSparkle"). Numbers are REG_DWORD, texts REG_SZ
// written with their terminating NUL counted (REG_EXPAND_SZ is read too, not
// expanded; a text of odd byte length or without its NUL counts as absent),
// byte arrays REG_BINARY, also of length 0.

#include <string>

#include "platform/SettingsStore.h"

namespace nerolin {

class RegistrySettingsStore : public SettingsStore {
public:
    // keyPath: the key below both hives; tests give one of their own.
    explicit RegistrySettingsStore(std::wstring keyPath = L"Software\\Tavorel\\Nerolin");

    std::unique_ptr<SettingsFile> Open(Scope scope, SettingsAccess access) override;

private:
    std::wstring keyPath_;
};

}  // namespace nerolin
