// Which NSS database the providers open when nobody names one.
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/Settings.h"
#include "providers/linux/NssRuntime.h"
#include "tests/support/MemorySettingsStore.h"

namespace nerolin::test {
namespace {

TEST(CertificateDatabaseTest, TheSettingElseTheBrowsersDatabaseInTheHomeFolder)
{
    const passwd* entry = getpwuid(geteuid());
    ASSERT_NE(entry, nullptr);
    const std::string passwdDatabase = std::string("sql:") + entry->pw_dir + "/.pki/nssdb";
    struct Case {
        const char* home;  // nullptr: unset
        const char* user;  // the user's setting; nullptr: absent
        const char* machine;
        std::string expected;
    };
    const Case cases[] = {
        {"/home/u", nullptr, nullptr, "sql:/home/u/.pki/nssdb"},
        {nullptr, nullptr, nullptr, passwdDatabase},  // never "sql:/.pki/nssdb"
        {"", nullptr, nullptr, passwdDatabase},
        {"/home/u", "sql:/srv/user-db", "sql:/srv/machine-db", "sql:/srv/user-db"},
        {"/home/u", nullptr, "sql:/srv/machine-db", "sql:/srv/machine-db"},
        // The user's empty value wins over the machine's and means the default.
        {"/home/u", "", "sql:/srv/machine-db", "sql:/home/u/.pki/nssdb"},
    };
    const char* savedHome = std::getenv("HOME");
    const std::string saved = savedHome != nullptr ? savedHome : "";
    for (const Case& c : cases) {
        auto settings = InstallMemorySettingsStore();
        if (c.user) settings->Set(Scope::User, "", setting::kCertificateDatabase, std::string(c.user));
        if (c.machine) settings->Set(Scope::Machine, "", setting::kCertificateDatabase, std::string(c.machine));
        if (c.home)
            setenv("HOME", c.home, 1);
        else
            unsetenv("HOME");
        EXPECT_EQ(CertificateDatabase(), c.expected)
            << "HOME " << (c.home ? c.home : "unset") << ", user " << (c.user ? c.user : "absent");
    }
    InstallSettingsStore(nullptr);
    if (savedHome != nullptr)
        setenv("HOME", saved.c_str(), 1);
    else
        unsetenv("HOME");
}

}  // namespace
}  // namespace nerolin::test
