// The yendo: registration as the registry holds it: what -Register writes
// under HKEY_CLASSES_ROOT\yendo, read back with the registry's own calls
// for its exact types and bytes, and what the start-up's check makes of
// a tree that differs from it.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/UrlScheme.h"

namespace nerolin::test {
namespace {

const std::string kProgram = "C:\\Program Files\\Tavorel\\Nerolin\\nerolin.exe";

struct StoredValue {
    DWORD type = REG_NONE;
    std::wstring text;  // the bytes as UTF-16, terminating NUL included
};

std::optional<StoredValue> Stored(const wchar_t* key, const wchar_t* name)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
    StoredValue value;
    DWORD bytes = 0;
    std::optional<StoredValue> result;
    if (RegQueryValueExW(handle, name, nullptr, &value.type, nullptr, &bytes) == ERROR_SUCCESS) {
        std::vector<BYTE> data(bytes);
        if (RegQueryValueExW(handle, name, nullptr, &value.type, data.data(), &bytes) == ERROR_SUCCESS) {
            value.text.assign(reinterpret_cast<const wchar_t*>(data.data()), bytes / sizeof(wchar_t));
            if (bytes % sizeof(wchar_t) != 0) value.text += L"<odd>";
            result = value;
        }
    }
    RegCloseKey(handle);
    return result;
}

void SetStored(const wchar_t* key, const wchar_t* name, const std::wstring& text)
{
    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_WRITE, &handle), ERROR_SUCCESS);
    RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
}

// HKEY_CLASSES_ROOT of this process is a key of its own while a test runs:
// nerolin.exe, which the program tests start beside it, reads the real one,
// and ctest runs each test in a process of its own, side by side.
class UrlSchemeRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, classesPath_.c_str());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, classesPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &classes_, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_), ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        if (classes_ != nullptr) RegCloseKey(classes_);
        RegDeleteTreeW(HKEY_CURRENT_USER, classesPath_.c_str());
    }

    const std::wstring classesPath_ =
        L"Software\\Tavorel\\NerolinTestClasses-" + std::to_wstring(GetCurrentProcessId());
    HKEY classes_ = nullptr;
};

TEST_F(UrlSchemeRegistry, RegisterWritesTheKeyTreeAsTextsWithTheirNul)
{
    ASSERT_TRUE(RegisterUrlScheme(kProgram));
    const std::wstring quoted = L"\"C:\\Program Files\\Tavorel\\Nerolin\\nerolin.exe\"";
    struct Expected {
        const wchar_t* key;
        const wchar_t* name;
        std::wstring text;
    };
    const Expected table[] = {
        {L"yendo", nullptr, std::wstring(L"URL:yendo protocol") + L'\0'},
        {L"yendo", L"FriendlyTypeName", std::wstring(L"Nerolin") + L'\0'},
        {L"yendo", L"URL Protocol", std::wstring(1, L'\0')},
        {L"yendo\\Default Icon", nullptr, quoted + L",1" + L'\0'},
        {L"yendo\\shell\\open\\command", nullptr, quoted + L" \"%1\"" + L'\0'},
    };
    for (const Expected& expected : table) {
        const auto value = Stored(expected.key, expected.name);
        const std::wstring where = std::wstring(expected.key) + L" " + (expected.name ? expected.name : L"(default)");
        ASSERT_TRUE(value) << std::string(where.begin(), where.end());
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ)) << std::string(where.begin(), where.end());
        EXPECT_EQ(value->text, expected.text) << std::string(where.begin(), where.end());
    }
    const RegistrationCheck check = CheckRegistration(kProgram);
    EXPECT_TRUE(check.entryFound);
    EXPECT_TRUE(check.problems.empty()) << check.problems.front();
}

TEST_F(UrlSchemeRegistry, CheckNamesEachPartThatDiffers)
{
    using Problems = std::vector<std::string>;
    EXPECT_EQ(CheckRegistration(kProgram).problems, Problems{"can't read yendo key"});
    EXPECT_FALSE(CheckRegistration(kProgram).entryFound);

    ASSERT_TRUE(RegisterUrlScheme(kProgram));
    // Case does not count; another program does.
    EXPECT_TRUE(CheckRegistration("c:\\PROGRAM FILES\\tavorel\\nerolin\\NEROLIN.EXE").problems.empty());
    EXPECT_EQ(CheckRegistration("C:\\Other\\nerolin.exe").problems,
              Problems{"bad value for yendo\\shell\\open\\command"});
    EXPECT_EQ(CheckRegistration("").problems, Problems{"bad value for yendo\\shell\\open\\command"});

    SetStored(L"yendo", nullptr, L"URL:other protocol");
    SetStored(L"yendo", L"URL Protocol", L"x");
    EXPECT_EQ(CheckRegistration(kProgram).problems,
              (Problems{"bad value for yendo", "bad value for yendo\\URL Protocol"}));
    SetStored(L"yendo", nullptr, L"url:YENDO protocol");
    SetStored(L"yendo", L"URL Protocol", L"");
    EXPECT_TRUE(CheckRegistration(kProgram).problems.empty());

    ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, L"yendo\\shell"), ERROR_SUCCESS);
    const RegistrationCheck check = CheckRegistration(kProgram);
    EXPECT_TRUE(check.entryFound);
    EXPECT_EQ(check.problems, Problems{"can't read yendo\\shell\\open\\command key"});
}

TEST_F(UrlSchemeRegistry, UnregisterRemovesTheWholeTreeAndMayRunTwice)
{
    ASSERT_TRUE(RegisterUrlScheme(kProgram));
    ASSERT_TRUE(UnregisterUrlScheme());
    HKEY handle = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"yendo", 0, KEY_READ, &handle), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(UnregisterUrlScheme());
    EXPECT_FALSE(RegisterUrlScheme(""));
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"yendo", 0, KEY_READ, &handle), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace nerolin::test
