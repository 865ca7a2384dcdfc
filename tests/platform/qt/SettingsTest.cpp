#include "platform/Settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include <gtest/gtest.h>

#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    TempHome home;

    void User(const std::string& ini) { Rewrite(home.UserSettings(), ini); }
    void Machine(const std::string& ini) { Rewrite(home.MachineSettings(), ini); }

    // Another process's write. The settings reader notices a change by the
    // file's size and time, and a test rewrites faster than the clock ticks,
    // so each rewrite gets a time of its own, as a real later write would.
    void Rewrite(const std::filesystem::path& path, const std::string& ini)
    {
        TempHome::WriteFile(path, ini);
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(++rewrites_));
    }

private:
    int rewrites_ = 0;
};

TEST_F(SettingsTest, NumbersFallBackToTheirDefaultUnlessReadableAsThirtyTwoBits)
{
    struct Case {
        const char* stored;  // the line in [General], or nullptr for none
        int expected;
    };
    const Case cases[] = {
        {nullptr, 7},
        {"StartSigningImmediately=2", 2},
        {"StartSigningImmediately=0", 0},
        {"startsigningimmediately=1", 1},  // names match regardless of case
        {"StartSigningImmediately=4294967295", -1},
        {"StartSigningImmediately=-1", -1},
        {"StartSigningImmediately=4294967296", 7},
        {"StartSigningImmediately=yes", 7},
        {"StartSigningImmediately=", 7},
        {"StartSigningImmediately=@ByteArray(1)", 7},
    };
    for (const Case& c : cases) {
        User(std::string("[General]\n") + (c.stored ? c.stored : "") + "\n");
        EXPECT_EQ(ReadUserSetting(setting::kStartSigningImmediately, 7), c.expected)
            << (c.stored ? c.stored : "absent");
    }
}

TEST_F(SettingsTest, WritesCreateTheUserFileAndAnotherWritersChangeIsSeenAtTheNextRead)
{
    EXPECT_FALSE(std::filesystem::exists(home.UserSettings()));
    WriteUserSetting(setting::kAutomaticallyClose, 0);
    WriteUserText(setting::kUpdateGroup, setting::kLastCheckTime, "1");
    EXPECT_EQ(ReadUserSetting(setting::kAutomaticallyClose, 1), 0);

    std::string file = TempHome::ReadFile(home.UserSettings());
    EXPECT_NE(file.find("AutomaticallyCloseApplicationWhenProcessFinished=0"), std::string::npos) << file;
    EXPECT_NE(file.find("[WinSparkle]\nLastCheckTime=1"), std::string::npos) << file;

    // Another process rewrites the file behind this one's back.
    User("[General]\nAutomaticallyCloseApplicationWhenProcessFinished=1\nSkipUpdateCheckOnEnd=12\n");
    EXPECT_EQ(ReadUserSetting(setting::kAutomaticallyClose, 0), 1);
    EXPECT_EQ(ReadUserSetting(setting::kSkipUpdateCheckOnEnd, 0), 12);

    // A write keeps the name as the file already spells it.
    User("[General]\nautomaticallyclosEapplicationwhenprocessfinished=1\n");
    WriteUserSetting(setting::kAutomaticallyClose, 0);
    EXPECT_EQ(TempHome::ReadFile(home.UserSettings()),
              "[General]\nautomaticallyclosEapplicationwhenprocessfinished=0\n");
}

TEST_F(SettingsTest, AppcastUrlOfTheUserWinsOverTheMachines)
{
    EXPECT_EQ(AppcastUrl(), "");
    Machine("[General]\nAppcastURL=https://updates.example/machine.xml\n");
    EXPECT_EQ(AppcastUrl(), "https://updates.example/machine.xml");
    User("[General]\nAppcastURL=https://updates.example/user.xml\n");
    EXPECT_EQ(AppcastUrl(), "https://updates.example/user.xml");
    // A text too long for the reader counts as absent.
    User("[General]\nAppcastURL=" + std::string(4096, 'a') + "\n");
    EXPECT_EQ(AppcastUrl(), "https://updates.example/machine.xml");
}

TEST_F(SettingsTest, AnEmptyUserProxyUrlWinsAndTheUserCredentialsAreRead)
{
    SecretString userPassword("user secret");
    SecretString machinePassword("machine secret");
    SettingsKey user = SettingsKey::OpenUser();
    user.WriteText(setting::kProxyUrl, "");
    user.WriteText(setting::kProxyUsername, "alice");
    WriteProxyPassword(user, false, userPassword);
    ASSERT_TRUE(user.Sync());
    Machine("[General]\nProxyURL=http://proxy.example:3128\nProxyUsername=machine\n");
    {
        auto machine = SettingsKey::OpenMachineForWriting();
        ASSERT_TRUE(machine);
        WriteProxyPassword(*machine, true, machinePassword);
    }

    std::string url = "unchanged";
    EXPECT_FALSE(ReadProxyUrl(url));
    EXPECT_EQ(url, "");
    std::string name;
    SecretString password;
    ReadProxyCredentials(false, name, password);
    EXPECT_EQ(name, "alice");
    EXPECT_EQ(password.view(), "user secret");

    // Without the user's value the machine's URL and credentials count.
    User("[General]\nProxyUsername=alice\n");
    EXPECT_TRUE(ReadProxyUrl(url));
    EXPECT_EQ(url, "http://proxy.example:3128");
    ReadProxyCredentials(true, name, password);
    EXPECT_EQ(name, "machine");
    EXPECT_EQ(password.view(), "machine secret");
}

TEST_F(SettingsTest, WithoutAnyProxyUrlTheMachineIsChosenAndNothingIsRead)
{
    std::string url;
    EXPECT_TRUE(ReadProxyUrl(url));
    EXPECT_EQ(url, "");
    std::string name = "kept";
    SecretString password("kept");
    ReadProxyCredentials(true, name, password);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(password.view(), "kept");
    EXPECT_FALSE(std::filesystem::exists(home.MachineSettings()));
}

TEST_F(SettingsTest, PasswordsProtectToFreshBytesAndOpenOnlyInTheirOwnScope)
{
    SettingsKey key = SettingsKey::OpenUser();
    WriteProxyPassword(key, false, SecretString("pässwörd €"));
    auto first = key.ReadBinary(setting::kProxyPassword);
    WriteProxyPassword(key, false, SecretString("pässwörd €"));
    auto second = key.ReadBinary(setting::kProxyPassword);
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(std::string(first->begin(), first->end()).find("pässwörd"), std::string::npos);

    SecretString password;
    EXPECT_TRUE(ReadProxyPassword(key, false, password));
    EXPECT_EQ(password.view(), "pässwörd €");  // no character is lost on the way

    SecretString untouched("untouched");
    EXPECT_FALSE(ReadProxyPassword(key, true, untouched));  // a user blob is no machine blob
    EXPECT_EQ(untouched.view(), "untouched");

    // An empty password is stored as zero bytes and reads as nothing.
    WriteProxyPassword(key, false, SecretString());
    EXPECT_EQ(key.ReadBinary(setting::kProxyPassword), Bytes{});
    EXPECT_FALSE(ReadProxyPassword(key, false, untouched));
    EXPECT_EQ(untouched.view(), "untouched");

    // A text where bytes belong is no password.
    User("[General]\nProxyPassword=secret\n");
    EXPECT_FALSE(ReadProxyPassword(SettingsKey::OpenUser(), false, untouched));
}

TEST_F(SettingsTest, AnotherUsersPasswordDoesNotOpenAndIsNotReported)
{
    {
        SettingsKey key = SettingsKey::OpenUser();
        key.WriteText(setting::kProxyUrl, "http://proxy.example:8080");
        WriteProxyPassword(key, false, SecretString("theirs"));
    }
    // Another user: the same settings file, their own data folder and key.
    home.Point("XDG_DATA_HOME", home.root() / "other-user/share");
    std::string name;
    SecretString password;
    ReadProxyCredentials(false, name, password);
    EXPECT_TRUE(password.empty());
}

TEST_F(SettingsTest, TheMachineFileIsNeverCreatedAndWrittenInPlace)
{
    EXPECT_FALSE(SettingsKey::OpenMachine());
    EXPECT_FALSE(SettingsKey::OpenMachineForWriting());
    EXPECT_FALSE(std::filesystem::exists(home.MachineSettings().parent_path()));

    // An administrator made the file writable but not its folder: the file
    // is rewritten in place, not replaced.
    Machine("[General]\nProxyURL=http://old.example\n");
    struct stat before {};
    ASSERT_EQ(stat(home.MachineSettings().c_str(), &before), 0);
    chmod(home.MachineSettings().parent_path().c_str(), 0555);
    {
        auto key = SettingsKey::OpenMachineForWriting();
        ASSERT_TRUE(key);
        key->WriteText(setting::kProxyUrl, "http://new.example");
        EXPECT_TRUE(key->Sync());
    }
    chmod(home.MachineSettings().parent_path().c_str(), 0755);
    struct stat after {};
    ASSERT_EQ(stat(home.MachineSettings().c_str(), &after), 0);
    if (geteuid() != 0) {  // root may write the folder anyway
        EXPECT_EQ(before.st_ino, after.st_ino);
    }
    std::string url;
    EXPECT_TRUE(ReadProxyUrl(url));
    EXPECT_EQ(url, "http://new.example");
}

TEST_F(SettingsTest, MachineCardEntriesAreReadInOrderUpToTheFirstMissingNumber)
{
    EXPECT_TRUE(ReadMachineCardEntries().empty());
    Machine(
        "[SmartCards]\nCard1=\"3B0102 FFFFFF Test Card One\"\ncard2=\"3B0102 FFFF00 Test  Card, Two\"\n"
        "Card4=\"3B0102 FFFFFF Unreached\"\n");
    EXPECT_EQ(ReadMachineCardEntries(),
              (std::vector<std::string>{"3B0102 FFFFFF Test Card One", "3B0102 FFFF00 Test  Card, Two"}));
}

}  // namespace
}  // namespace nerolin::test
