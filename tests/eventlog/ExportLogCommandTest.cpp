// The real nerolin-tool export-log, as a support person runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "eventlog/EventStore.h"
#include "platform/Files.h"
#include "tests/eventlog/DamagedStoreFixture.h"
#include "tests/eventlog/TempFolder.h"
#include "tests/support/PipedChild.h"
#include "tests/support/Portable.h"
#include "tests/support/ScopedUserStateFolder.h"

namespace nerolin {
namespace {

// What the tool says on standard error goes to run.text.
test::ProgramRun RunExportLog(const std::string& file)
{
    return test::RunProgram(NEROLIN_BINARY_DIR "/bin/nerolin-tool", {"export-log", file}, test::ReadStream::Errors);
}

// The tool finds its store in the test's folder, and shows times in UTC.
class ExportLogCommand : public ::testing::Test {
protected:
    test::TempFolder folder_;
    const std::string state_ = folder_.Path("state");
    const std::string store_ = state_ + "/Tavorel/Nerolin/eventlog.sqlite";
    const std::string out_ = folder_.Path("out.log");
    const test::ScopedUserStateFolder stateFolder_{state_};
    const test::ScopedEnvironment zone_{"TZ", "UTC"};
};

TEST_F(ExportLogCommand, WritesTheUsersLogOrFailsWithAMessage)
{
    EventStore::OpenForWriting(store_)->Append("Nerolin", 0, 4, {"from the store"});

    const test::ProgramRun written = RunExportLog(out_);
    EXPECT_EQ(written.status, 0) << written.text;
    EXPECT_EQ(test::ReadFileBytes(out_), "1970/01/01 00:00:00 INFORMATION: from the store\r\n");

    const test::ProgramRun failed = RunExportLog(folder_.Path("missing/out.log"));
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.text.find("cannot write"), std::string::npos) << failed.text;
}

TEST_F(ExportLogCommand, TellsWhenTheStoreCannotBeReadAndWritesEmptyOnlyForAnEmptyStore)
{
    // Nothing logged yet: an empty file, as for a store without entries.
    const test::ProgramRun empty = RunExportLog(out_);
    EXPECT_EQ(empty.status, 0) << empty.text;
    EXPECT_TRUE(std::filesystem::exists(out_));
    EXPECT_EQ(test::ReadFileBytes(out_), "");
    std::filesystem::remove(out_);

    std::filesystem::create_directories(store_);  // a folder in the store's place
    std::string reason;                           // the system's own words for it ("Is a directory" on Linux)
    ASSERT_EQ(InspectPath(store_, reason), PathKind::Folder);
    ASSERT_FALSE(reason.empty());
    const test::ProgramRun folderInPlace = RunExportLog(out_);
    EXPECT_EQ(folderInPlace.status, 1);
    EXPECT_NE(
        folderInPlace.text.find("cannot read the event log \"" + store_ + "\": " + reason + "; nothing was written"),
        std::string::npos)
        << folderInPlace.text;
    EXPECT_FALSE(std::filesystem::exists(out_));
    std::filesystem::remove(store_);

    const std::string damaged = test::MakeDamagedStore(store_, test::Damage::TruncatedToHalf);
    const test::ProgramRun broken = RunExportLog(out_);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.text.find("the event log \"" + store_ + "\" is damaged"), std::string::npos) << broken.text;
    EXPECT_FALSE(std::filesystem::exists(out_));
    EXPECT_EQ(test::ReadFileBytes(store_ + ".broken"), damaged);
    // Set aside: the new store is empty, and says so truthfully.
    const test::ProgramRun afresh = RunExportLog(out_);
    EXPECT_EQ(afresh.status, 0) << afresh.text;
    EXPECT_EQ(test::ReadFileBytes(out_), "");
}

}  // namespace
}  // namespace nerolin
