#pragma once

// A key of this test's own below HKEY_CURRENT_USER\Software and, in the
// 32-bit view, HKEY_LOCAL_MACHINE\SOFTWARE (Wine runs the tests with the
// rights to make it), deleted with everything in it at the end; and the raw
// registry calls that check what the store wrote.

#include <windows.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace nerolin::test {

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RawValue&) const = default;
};

class TestRegistryKey {
public:
    TestRegistryKey() : path_(L"Software\\NerolinTest\\" + std::to_wstring(std::random_device()())) {}
    ~TestRegistryKey()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            HKEY root = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | view, &root) == ERROR_SUCCESS) {
                RegDeleteTreeW(root, path_.substr(std::wstring(L"Software\\").size()).c_str());
                RegCloseKey(root);
            }
        }
    }
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    const std::wstring& path() const { return path_; }

    // hive with view (0, KEY_WOW64_32KEY, KEY_WOW64_64KEY); subkey below the test's key.
    static bool Exists(HKEY hive, const std::wstring& path, REGSAM view = 0)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    static void Set(HKEY hive, const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size,
                    REGSAM view = 0)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            throw std::runtime_error("RegCreateKeyExW");
        const LSTATUS status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) throw std::runtime_error("RegSetValueExW");
    }

    static RawValue Get(HKEY hive, const std::wstring& path, const wchar_t* name, REGSAM view = 0)
    {
        RawValue value;
        HKEY key = nullptr;
        if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return {};
        DWORD size = 0;
        if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            if (RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS)
                value = {};
        }
        RegCloseKey(key);
        return value;
    }

private:
    std::wstring path_;
};

// The bytes of a UTF-16 text, with or without its terminating NUL.
inline std::vector<BYTE> Utf16Bytes(const std::wstring& text, bool withNul = true)
{
    const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(begin, begin + (text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t));
}

}  // namespace nerolin::test
