// The real nerolin-tool export-log, as a support person runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "eventlog/EventStore.h"
#include "tests/eventlog/DamagedStoreFixture.h"
#include "tests/eventlog/TempFolder.h"

namespace nerolin {
namespace {

struct Outcome {
    int status = -1;
    std::string errors;  // standard error
};

Outcome RunExportLog(const std::string& environment, const std::string& file)
{
    const std::string command =
        environment + " TZ=UTC '" NEROLIN_BINARY_DIR "/bin/nerolin-tool' export-log '" + file + "' 2>&1 >/dev/null";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) outcome.errors += buffer;
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

TEST(ExportLogCommand, WritesTheUsersLogOrFailsWithAMessage)
{
    test::TempFolder folder;
    const std::string state = folder.Path("state");
    EventStore::OpenForWriting(state + "/Tavorel/Nerolin/eventlog.sqlite")->Append("Nerolin", 0, 4, {"from the store"});
    const std::string environment = "HOME='" + folder.Path("home") + "' XDG_STATE_HOME='" + state + "'";

    const Outcome written = RunExportLog(environment, folder.Path("out.log"));
    EXPECT_EQ(written.status, 0) << written.errors;
    EXPECT_EQ(test::ReadFileBytes(folder.Path("out.log")), "1970/01/01 00:00:00 INFORMATION: from the store\r\n");

    const Outcome failed = RunExportLog(environment, folder.Path("missing/out.log"));
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.errors.find("cannot write"), std::string::npos) << failed.errors;
}

TEST(ExportLogCommand, TellsWhenTheStoreCannotBeReadAndWritesEmptyOnlyForAnEmptyStore)
{
    test::TempFolder folder;
    const std::string state = folder.Path("state");
    const std::string store = state + "/Tavorel/Nerolin/eventlog.sqlite";
    const std::string environment = "HOME='" + folder.Path("home") + "' XDG_STATE_HOME='" + state + "'";
    const std::string out = folder.Path("out.log");

    // Nothing logged yet: an empty file, as for a store without entries.
    Outcome empty = RunExportLog(environment, out);
    EXPECT_EQ(empty.status, 0) << empty.errors;
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(test::ReadFileBytes(out), "");
    std::filesystem::remove(out);

    std::filesystem::create_directories(store);  // a folder in the store's place
    Outcome folderInPlace = RunExportLog(environment, out);
    EXPECT_EQ(folderInPlace.status, 1);
    EXPECT_NE(folderInPlace.errors.find("cannot read the event log \"" + store + "\": Is a directory"),
              std::string::npos)
        << folderInPlace.errors;
    EXPECT_FALSE(std::filesystem::exists(out));
    std::filesystem::remove(store);

    const std::string damaged = test::MakeDamagedStore(store, test::Damage::TruncatedToHalf);
    Outcome broken = RunExportLog(environment, out);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.errors.find("the event log \"" + store + "\" is damaged"), std::string::npos) << broken.errors;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(test::ReadFileBytes(store + ".broken"), damaged);
    // Set aside: the new store is empty, and says so truthfully.
    Outcome afresh = RunExportLog(environment, out);
    EXPECT_EQ(afresh.status, 0) << afresh.errors;
    EXPECT_EQ(test::ReadFileBytes(out), "");
}

}  // namespace
}  // namespace nerolin
