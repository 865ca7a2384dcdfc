#include "platform/windows/RegistrySettingsStore.h"

#include <windows.h>

#include <dpapi.h>

#include <gtest/gtest.h>

#include <memory>

#include "platform/Settings.h"
#include "tests/platform/windows/RegistryKey.h"

namespace nerolin::test {
namespace {

class RegistrySettings : public ::testing::Test {
protected:
    void SetUp() override { InstallSettingsStore(std::make_shared<RegistrySettingsStore>(key_.path())); }
    void TearDown() override { InstallSettingsStore(nullptr); }

    RawValue User(const wchar_t* name, const std::wstring& subkey = {}) const
    {
        return TestRegistryKey::Get(HKEY_CURRENT_USER, key_.path() + subkey, name);
    }
    void SetUser(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        TestRegistryKey::Set(HKEY_CURRENT_USER, key_.path(), name, type, data, size);
    }
    void SetMachine(const wchar_t* name, const std::wstring& text, REGSAM view)
    {
        TestRegistryKey::Set(HKEY_LOCAL_MACHINE, key_.path(), name, REG_SZ, text.c_str(),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
    }

    TestRegistryKey key_;
};

// What the registry holds after each kind of write, read back with the
// registry's own calls.
TEST_F(RegistrySettings, WritesNumbersTextsAndBytesWithTheirRegistryTypes)
{
    WriteUserSetting(setting::kAutomaticallyClose, 0);
    WriteUserSetting(setting::kStartSigningImmediately, -1);
    WriteUserText(setting::kUpdateGroup, setting::kLastCheckTime, "1");
    SettingsKey user = SettingsKey::OpenUser();
    user.WriteText(setting::kProxyUrl, "http://pr\u00F3xy.example:8080");
    user.WriteText(setting::kProxyUsername, "");
    user.WriteBinary("Blob", {0x00, 0xFF, 0x10});
    WriteProxyPassword(user, false, SecretString(""));
    EXPECT_TRUE(user.Sync());

    const DWORD zero = 0, all = 0xFFFFFFFF;
    EXPECT_EQ(User(L"AutomaticallyCloseApplicationWhenProcessFinished"),
              (RawValue{REG_DWORD, std::vector<BYTE>(reinterpret_cast<const BYTE*>(&zero),
                                                     reinterpret_cast<const BYTE*>(&zero) + 4)}));
    EXPECT_EQ(User(L"StartSigningImmediately"),
              (RawValue{REG_DWORD, std::vector<BYTE>(reinterpret_cast<const BYTE*>(&all),
                                                     reinterpret_cast<const BYTE*>(&all) + 4)}));
    // Texts count their terminating NUL.
    EXPECT_EQ(User(L"LastCheckTime", L"\\WinSparkle"), (RawValue{REG_SZ, Utf16Bytes(L"1")}));
    EXPECT_EQ(User(L"ProxyURL"), (RawValue{REG_SZ, Utf16Bytes(L"http://pr\u00F3xy.example:8080")}));
    EXPECT_EQ(User(L"ProxyUsername"), (RawValue{REG_SZ, Utf16Bytes(L"")}));
    EXPECT_EQ(User(L"Blob"), (RawValue{REG_BINARY, {0x00, 0xFF, 0x10}}));
    // An empty password is an empty REG_BINARY value, nothing protected.
    EXPECT_EQ(User(L"ProxyPassword"), (RawValue{REG_BINARY, {}}));

    EXPECT_EQ(ReadUserSetting(setting::kAutomaticallyClose, 1), 0);
    EXPECT_EQ(ReadUserSetting(setting::kStartSigningImmediately, 0), -1);
    EXPECT_EQ(user.ReadText(setting::kProxyUrl), "http://pr\u00F3xy.example:8080");
    EXPECT_EQ(user.ReadText(setting::kProxyUsername), "");
}

// Values that an administrator or another program put there, as the
// program's reads take them.
TEST_F(RegistrySettings, ReadsOnlyWellFormedValuesOfTheirOwnType)
{
    const DWORD two = 2;
    const unsigned long long big = 5;
    const std::vector<BYTE> abc = Utf16Bytes(L"abc");
    // Its size leaves out the NUL, and what follows is no NUL either: the
    // registry adds a terminator only where one is right behind the data.
    const std::vector<BYTE> unterminated = Utf16Bytes(L"abcX");
    const std::vector<BYTE> expand = Utf16Bytes(L"%TEMP%\\x");
    const std::vector<BYTE> five = Utf16Bytes(L"5");
    const std::vector<BYTE> inner = Utf16Bytes(std::wstring(L"ab\0cd", 5));
    struct Case {
        const wchar_t* name;
        DWORD type;
        const void* data;
        DWORD size;
        std::optional<std::string> text;
        std::optional<std::uint32_t> number;
    };
    const Case cases[] = {
        {L"Text", REG_SZ, abc.data(), static_cast<DWORD>(abc.size()), "abc", std::nullopt},
        {L"Unterminated", REG_SZ, unterminated.data(), 3 * sizeof(wchar_t), std::nullopt, std::nullopt},
        {L"OddLength", REG_SZ, abc.data(), static_cast<DWORD>(abc.size() - 1), std::nullopt, std::nullopt},
        {L"Empty", REG_SZ, abc.data(), 0, std::nullopt, std::nullopt},
        {L"Expandable", REG_EXPAND_SZ, expand.data(), static_cast<DWORD>(expand.size()), "%TEMP%\\x", std::nullopt},
        {L"InnerNul", REG_SZ, inner.data(), static_cast<DWORD>(inner.size()), "ab", std::nullopt},
        {L"Number", REG_DWORD, &two, sizeof two, std::nullopt, 2u},
        {L"NumberAsText", REG_SZ, five.data(), static_cast<DWORD>(five.size()), "5", std::nullopt},
        {L"ShortNumber", REG_BINARY, &two, 3, std::nullopt, std::nullopt},
        {L"WideNumber", REG_QWORD, &big, sizeof big, std::nullopt, std::nullopt},
        {L"Bytes", REG_BINARY, abc.data(), static_cast<DWORD>(abc.size()), std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) SetUser(c.name, c.type, c.data, c.size);
    const SettingsKey user = SettingsKey::OpenUser();
    for (const Case& c : cases) {
        const std::string name(c.name, c.name + std::wcslen(c.name));
        EXPECT_EQ(user.ReadText(name), c.text) << name;
        EXPECT_EQ(user.ReadNumber(name), c.number) << name;
    }
    EXPECT_EQ(user.ReadBinary("Bytes"), Bytes(abc.begin(), abc.end()));
    EXPECT_EQ(user.ReadBinary("Text"), std::nullopt);
    // Value names are the registry's: letter case does not matter.
    EXPECT_EQ(user.ReadNumber("NUMBER"), 2u);
    EXPECT_EQ(ReadUserSetting("number", 7), 2);
    EXPECT_EQ(ReadUserSetting("NumberAsText", 7), 7);
}

TEST_F(RegistrySettings, TheUserKeyIsMadeByTheFirstReadAndTheMachineKeyNever)
{
    ASSERT_FALSE(TestRegistryKey::Exists(HKEY_CURRENT_USER, key_.path()));
    EXPECT_EQ(ReadUserSetting(setting::kCheckCertificateValidity, 1), 1);
    EXPECT_TRUE(TestRegistryKey::Exists(HKEY_CURRENT_USER, key_.path()));

    EXPECT_FALSE(SettingsKey::OpenMachine());
    EXPECT_FALSE(SettingsKey::OpenMachineForWriting());
    std::string url = "unchanged";
    EXPECT_TRUE(ReadProxyUrl(url));
    EXPECT_EQ(url, "unchanged");
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        EXPECT_FALSE(TestRegistryKey::Exists(HKEY_LOCAL_MACHINE, key_.path(), view));
}

// The machine key lives in the 32-bit view; a key of the same name in the
// 64-bit view is another key and is never read.
TEST_F(RegistrySettings, TheMachineKeyIsReadInTheThirtyTwoBitView)
{
    SetMachine(L"ProxyURL", L"http://wrong-view:1", KEY_WOW64_64KEY);
    std::string url;
    EXPECT_TRUE(ReadProxyUrl(url));
    EXPECT_EQ(url, "");

    SetMachine(L"ProxyURL", L"http://machine:8080", KEY_WOW64_32KEY);
    SetMachine(L"AppcastURL", L"https://updates.example/feed.xml", KEY_WOW64_32KEY);
    EXPECT_TRUE(ReadProxyUrl(url));
    EXPECT_EQ(url, "http://machine:8080");
    EXPECT_EQ(AppcastUrl(), "https://updates.example/feed.xml");

    // Present in the user key, even empty, the user's URL wins.
    SettingsKey::OpenUser().WriteText(setting::kProxyUrl, "");
    url = "unchanged";
    EXPECT_FALSE(ReadProxyUrl(url));
    EXPECT_EQ(url, "");

    // The machine key once made is written where it is read.
    std::optional<SettingsKey> machine = SettingsKey::OpenMachineForWriting();
    ASSERT_TRUE(machine);
    machine->WriteText(setting::kProxyUsername, "admin");
    EXPECT_TRUE(machine->Sync());
    EXPECT_EQ((TestRegistryKey::Get(HKEY_LOCAL_MACHINE, key_.path(), L"ProxyUsername", KEY_WOW64_32KEY)),
              (RawValue{REG_SZ, Utf16Bytes(L"admin")}));
    EXPECT_EQ((TestRegistryKey::Get(HKEY_LOCAL_MACHINE, key_.path(), L"ProxyUsername", KEY_WOW64_64KEY)), RawValue{});
}

// The stored password is the DPAPI blob of the text and its NUL: the user's
// key in the user key, the machine's in the machine key.
TEST_F(RegistrySettings, ProxyPasswordsAreDataProtectionBlobsOfTheirScope)
{
    SetMachine(L"ProxyURL", L"http://machine:8080", KEY_WOW64_32KEY);
    struct Case {
        bool machineWide;
        DWORD flags;
    };
    for (const Case c : {Case{false, 0}, Case{true, CRYPTPROTECT_LOCAL_MACHINE}}) {
        SCOPED_TRACE(c.machineWide ? "machine" : "user");
        std::optional<SettingsKey> key =
            c.machineWide ? SettingsKey::OpenMachineForWriting() : std::optional(SettingsKey::OpenUser());
        ASSERT_TRUE(key);
        key->WriteText(setting::kProxyUsername, "agent");
        WriteProxyPassword(*key, c.machineWide, SecretString("s3cret"));
        ASSERT_TRUE(key->Sync());

        const RawValue stored =
            c.machineWide ? TestRegistryKey::Get(HKEY_LOCAL_MACHINE, key_.path(), L"ProxyPassword", KEY_WOW64_32KEY)
                          : User(L"ProxyPassword");
        ASSERT_EQ(stored.type, static_cast<DWORD>(REG_BINARY));
        DATA_BLOB in{static_cast<DWORD>(stored.data.size()), const_cast<BYTE*>(stored.data.data())};
        DATA_BLOB out{};
        ASSERT_TRUE(CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, c.flags, &out));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out.pbData), out.cbData), std::string("s3cret", 7));
        LocalFree(out.pbData);

        std::string userName;
        SecretString password;
        ReadProxyCredentials(c.machineWide, userName, password);
        EXPECT_EQ(userName, "agent");
        EXPECT_EQ(std::string(password.data(), password.size()), "s3cret");
    }

    // Damaged, the blob gives no password and leaves the output alone.
    RawValue stored = User(L"ProxyPassword");
    stored.data.back() ^= 0x01;
    SetUser(L"ProxyPassword", REG_BINARY, stored.data.data(), static_cast<DWORD>(stored.data.size()));
    SecretString password("before");
    EXPECT_FALSE(ReadProxyPassword(SettingsKey::OpenUser(), false, password));
    EXPECT_EQ(std::string(password.data(), password.size()), "before");
}

// The clear text is in the thread's ANSI code page with its NUL (1250 for
// the Hungarian user ctest runs this program as), the form any program that
// reads the value takes; a character the code page lacks comes back as its
// default character.
TEST_F(RegistrySettings, ProxyPasswordIsKeptInTheAnsiCodePage)
{
    ASSERT_EQ(GetACP(), 1250u);
    struct Case {
        const char* password;
        std::string clear;
        const char* readBack;
    };
    const Case cases[] = {
        {"\u00C1rv\u00EDzt\u0171r\u0151 \u20AC", std::string("\xC1rv\xEDzt\xFBr\xF5 \x80\0", 12),
         "\u00C1rv\u00EDzt\u0171r\u0151 \u20AC"},
        {"P\u00E9ter \u65E5", std::string("P\xE9ter ?\0", 8), "P\u00E9ter ?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        SettingsKey user = SettingsKey::OpenUser();
        WriteProxyPassword(user, false, SecretString(c.password));
        ASSERT_TRUE(user.Sync());

        const RawValue stored = User(L"ProxyPassword");
        ASSERT_EQ(stored.type, static_cast<DWORD>(REG_BINARY));
        DATA_BLOB in{static_cast<DWORD>(stored.data.size()), const_cast<BYTE*>(stored.data.data())};
        DATA_BLOB out{};
        ASSERT_TRUE(CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, 0, &out));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out.pbData), out.cbData), c.clear);
        LocalFree(out.pbData);

        SecretString password;
        ASSERT_TRUE(ReadProxyPassword(SettingsKey::OpenUser(), false, password));
        EXPECT_EQ(password.view(), c.readBack);
    }
}

}  // namespace
}  // namespace nerolin::test
