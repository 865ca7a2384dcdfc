#include "platform/windows/RegistrySettingsStore.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <iterator>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/windows/RegistryKey.h"
#include "platform/windows/WideText.h"

namespace nerolin {
namespace {

std::optional<std::wstring> Wide(const std::string& utf8)
{
    try {
        return WideText(utf8);
    } catch (const std::range_error&) {
        return std::nullopt;
    }
}

// One value as it is stored: its type and its bytes (read whole, however
// often it grows between the size query and the read).
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

std::optional<RawValue> QueryValue(HKEY key, const std::wstring& name)
{
    RawValue value;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        value.data.resize(size);
        status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
        if (status == ERROR_SUCCESS) {
            value.data.resize(size);
            return value;
        }
    }
    return std::nullopt;
}

// A text as the registry keeps it: UTF-16 with its terminating NUL inside
// the byte count; anything else is no text.
std::optional<std::string> TextOf(const RawValue& value)
{
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return std::nullopt;
    if (value.data.size() % sizeof(wchar_t) != 0 || value.data.empty()) return std::nullopt;
    std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), value.data.data(), value.data.size());
    if (text.back() != L'\0') return std::nullopt;
    text.resize(std::wcslen(text.c_str()));
    try {
        return Utf8Text(text);
    } catch (const std::range_error&) {
        return std::nullopt;
    }
}

std::vector<std::wstring> ValueNames(HKEY key)
{
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];  // the longest value name the registry allows, and its NUL
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::wstring> SubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];  // the longest key name, and its NUL
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

class RegistryFile : public SettingsFile {
public:
    RegistryFile(KeyHandle key, REGSAM view, bool writable) : key_(std::move(key)), view_(view), writable_(writable) {}

    std::optional<SettingValue> Read(const std::string& group, const std::string& name) const override
    {
        std::optional<RawValue> value = Query(group, name);
        if (!value) return std::nullopt;
        if (value->type == REG_BINARY) return Bytes(value->data.begin(), value->data.end());
        if (std::optional<std::string> text = TextOf(*value)) return std::move(*text);
        return std::nullopt;
    }

    std::optional<std::uint32_t> ReadNumber(const std::string& group, const std::string& name) const override
    {
        std::optional<RawValue> value = Query(group, name);
        if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD)) return std::nullopt;
        DWORD number = 0;
        std::memcpy(&number, value->data.data(), sizeof number);
        return number;
    }

    void Write(const std::string& group, const std::string& name, const SettingValue& value) override
    {
        if (const auto* text = std::get_if<std::string>(&value)) {
            const std::optional<std::wstring> wide = Wide(*text);
            if (!wide) {
                failed_ = true;
                return;
            }
            Set(group, name, REG_SZ, reinterpret_cast<const BYTE*>(wide->c_str()),
                (wide->size() + 1) * sizeof(wchar_t));
        } else {
            const Bytes& bytes = std::get<Bytes>(value);
            Set(group, name, REG_BINARY, bytes.empty() ? nullptr : bytes.data(), bytes.size());
        }
    }

    void WriteNumber(const std::string& group, const std::string& name, std::uint32_t value) override
    {
        const DWORD number = value;
        Set(group, name, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }

    // Each write reaches the registry at once; only its failures are left
    // to tell.
    bool Sync() override { return !std::exchange(failed_, false); }

    std::vector<std::pair<std::string, std::string>> Names() const override
    {
        std::vector<std::pair<std::string, std::string>> names;
        Collect(key_.get(), {}, names);
        for (const std::wstring& subkey : SubkeyNames(key_.get())) {
            HKEY opened = nullptr;
            if (RegOpenKeyExW(key_.get(), subkey.c_str(), 0, KEY_READ | view_, &opened) != ERROR_SUCCESS) continue;
            const KeyHandle group(opened);
            try {
                Collect(group.get(), Utf8Text(subkey), names);
            } catch (const std::range_error&) {
            }
        }
        return names;
    }

private:
    static void Collect(HKEY key, const std::string& group, std::vector<std::pair<std::string, std::string>>& names)
    {
        for (const std::wstring& name : ValueNames(key)) {
            try {
                names.emplace_back(group, Utf8Text(name));
            } catch (const std::range_error&) {
            }
        }
    }

    // The key of a group: the file's own key for the top level, else its
    // subkey, made when a write needs it.
    std::optional<KeyHandle> GroupKey(const std::string& group, bool create) const
    {
        if (group.empty()) return KeyHandle();
        const std::optional<std::wstring> wide = Wide(group);
        if (!wide) return std::nullopt;
        HKEY opened = nullptr;
        const LSTATUS status = create ? RegCreateKeyExW(key_.get(), wide->c_str(), 0, nullptr, 0,
                                                        KEY_READ | KEY_WRITE | view_, nullptr, &opened, nullptr)
                                      : RegOpenKeyExW(key_.get(), wide->c_str(), 0, KEY_QUERY_VALUE | view_, &opened);
        if (status != ERROR_SUCCESS) return std::nullopt;
        return KeyHandle(opened);
    }

    std::optional<RawValue> Query(const std::string& group, const std::string& name) const
    {
        const std::optional<std::wstring> wide = Wide(name);
        if (!wide) return std::nullopt;
        const std::optional<KeyHandle> groupKey = GroupKey(group, false);
        if (!groupKey) return std::nullopt;
        return QueryValue(*groupKey ? groupKey->get() : key_.get(), *wide);
    }

    void Set(const std::string& group, const std::string& name, DWORD type, const BYTE* data, std::size_t size)
    {
        const std::optional<std::wstring> wide = Wide(name);
        const std::optional<KeyHandle> groupKey = writable_ && wide ? GroupKey(group, true) : std::nullopt;
        if (!groupKey || size > MAXDWORD ||
            RegSetValueExW(*groupKey ? groupKey->get() : key_.get(), wide->c_str(), 0, type, data,
                           static_cast<DWORD>(size)) != ERROR_SUCCESS)
            failed_ = true;
    }

    KeyHandle key_;
    REGSAM view_;
    bool writable_;
    bool failed_ = false;
};

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(std::wstring keyPath) : keyPath_(std::move(keyPath)) {}

std::unique_ptr<SettingsFile> RegistrySettingsStore::Open(Scope scope, SettingsAccess access)
{
    HKEY key = nullptr;
    if (scope == Scope::User) {
        // Read or write, the user key is opened for both and made when missing.
        if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<RegistryFile>(KeyHandle(key), 0, true);
    }
    const bool writing = access == SettingsAccess::Write;
    const REGSAM rights = KEY_READ | (writing ? KEY_SET_VALUE : 0) | KEY_WOW64_32KEY;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0, rights, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<RegistryFile>(KeyHandle(key), KEY_WOW64_32KEY, writing);
}

}  // namespace nerolin
