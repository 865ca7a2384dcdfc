#include <gtest/gtest.h>

#include "platform/Settings.h"
#include "tests/support/MemorySettingsStore.h"

namespace nerolin::test {
namespace {

TEST(SettingsStoreTest, WithoutAStoreEveryReadGivesItsDefaultAndWritesAreDropped)
{
    InstallSettingsStore(nullptr);
    WriteUserSetting(setting::kStartSigningImmediately, 1);
    EXPECT_EQ(ReadUserSetting(setting::kStartSigningImmediately, 7), 7);
    SettingsKey user = SettingsKey::OpenUser();
    user.WriteText(setting::kProxyUrl, "http://proxy.example");
    EXPECT_FALSE(user.Sync());
    EXPECT_EQ(user.ReadText(setting::kProxyUrl), std::nullopt);
    EXPECT_FALSE(SettingsKey::OpenMachine());
    EXPECT_FALSE(SettingsKey::OpenMachineForWriting());

    std::string url = "unchanged";
    EXPECT_TRUE(ReadProxyUrl(url));  // no user value: the machine's choice, of nothing
    EXPECT_EQ(url, "unchanged");
    EXPECT_EQ(AppcastUrl(), "");
    EXPECT_EQ(ReadCertificateDatabase(), std::nullopt);
    EXPECT_TRUE(ReadMachineCardEntries().empty());
}

TEST(SettingsStoreTest, NumbersAreDecimalTextsInTheThirtyTwoBitRange)
{
    struct Case {
        const char* text;
        std::optional<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"0", 0u},
        {"007", 7u},
        {" \t12 \r\n", 12u},
        {"+5", 5u},
        {"-1", 0xFFFFFFFFu},
        {"4294967295", 0xFFFFFFFFu},
        {"-2147483648", 0x80000000u},
        {"4294967296", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {"1 2", std::nullopt},
        {"0x10", std::nullopt},
        {"1e3", std::nullopt},
        {"12abc", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseSettingNumber(c.text), c.expected) << '"' << c.text << '"';

    // Through a key: a byte array is no number, whatever its bytes.
    auto store = InstallMemorySettingsStore();
    store->Set(Scope::User, "", setting::kCheckCertificateValidity, Bytes{'0'});
    EXPECT_EQ(ReadUserSetting(setting::kCheckCertificateValidity, 1), 1);
    InstallSettingsStore(nullptr);
}

TEST(SettingsStoreTest, AnOpenKeyKeepsTheStoreItWasOpenedOn)
{
    auto first = InstallMemorySettingsStore();
    SettingsKey key = SettingsKey::OpenUser();
    auto second = InstallMemorySettingsStore();
    first.reset();  // the key's reference is the last one now
    key.WriteText(setting::kProxyUsername, "alice");
    EXPECT_EQ(key.ReadText(setting::kProxyUsername), "alice");
    EXPECT_EQ(second->Get(Scope::User, "", setting::kProxyUsername), std::nullopt);
    InstallSettingsStore(nullptr);
}

}  // namespace
}  // namespace nerolin::test
