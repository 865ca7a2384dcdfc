// A certificate database the user may read but not write (a read-only home,
// a locked-down profile) is opened read-only: its certificates are found and
// their keys sign, as long as no PIN must be set up.

#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "eventlog/EventLog.h"
#include "providers/linux/NssRuntime.h"
#include "providers/linux/SigningProviderNSS.h"
#include "tests/providers/nss/NssTestSupport.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;

// As root, permissions stop no write: the tree is given to an unprivileged
// user, whom the child that opens the database then becomes.
constexpr uid_t kUnprivileged = 65534;

void MakeReadOnly(const fs::path& folder, bool giveAway)
{
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
        if (giveAway) ::chown(entry.path().c_str(), kUnprivileged, kUnprivileged);
        fs::permissions(entry.path(),
                        entry.is_directory() ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_read,
                        ignored);
    }
    if (giveAway) ::chown(folder.c_str(), kUnprivileged, kUnprivileged);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec, ignored);
}

TEST(ReadOnlyDatabase, FindsTheCertificateAndSigns)
{
    NssDatabaseOptions options;
    options.softwareTokenIdentities = {"rsa"};
    options.hardwareToken = false;
    NssDatabase database(options);
    ASSERT_TRUE(database.ok()) << database.error();
    char pattern[] = "/tmp/nerolin-readonly-home-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string home = pattern;
    const bool root = ::geteuid() == 0;
    MakeReadOnly(database.folder(), root);
    if (root) ::chown(home.c_str(), kUnprivileged, kUnprivileged);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgid(kUnprivileged) != 0 || ::setuid(kUnprivileged) != 0)) _exit(10);
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
            setenv(name, home.c_str(), 1);
        RegisterEventSource(home + "/events.sqlite");
        database.ExportEnvironment();
        if (!InitializeNss(database.spec())) _exit(11);
        SigningProviderNSS provider;
        provider.Initialize();
        if (provider.FindCertificate(CertificateText("rsa")) != SigningResult::Success) _exit(12);
        provider.BeginSigning(1);
        if (SignOneHash(provider, "rsa", 7) != SigningResult::Success) _exit(13);
        _exit(::testing::Test::HasFailure() ? 14 : 0);  // the signature did not verify
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "status " << status << " (10 privileges, 11 open, 12 find, 13 sign, 14 verify)";

    std::error_code ignored;
    for (const fs::path& folder : {fs::path(database.folder()), fs::path(home)}) {
        fs::permissions(folder, fs::perms::owner_all, ignored);
        for (const auto& entry : fs::recursive_directory_iterator(folder, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, ignored);
    }
    fs::remove_all(home, ignored);
}

}  // namespace
}  // namespace nerolin::test
