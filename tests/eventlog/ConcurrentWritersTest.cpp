// Several processes write to one store at the same time; every entry must
// arrive, and the export must give them back newest first.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "eventlog/EventLog.h"
#include "eventlog/EventLogExport.h"
#include "eventlog/EventStore.h"
#include "tests/eventlog/DamagedStoreFixture.h"
#include "tests/eventlog/TempFolder.h"
#include "tests/support/PipedChild.h"

namespace nerolin {
namespace {

// A writer process: a line on its input starts it (and, holding, ends it);
// a holding writer prints "written" once its entries are queued.
test::PipedChild SpawnWriter(const std::string& storePath, int id, int count, bool hold = false)
{
    std::vector<std::string> arguments = {storePath, std::to_string(id), std::to_string(count)};
    if (hold) arguments.push_back("hold");
    test::PipedChild writer(NEROLIN_EVENTLOG_TEST_WRITER, arguments);
    EXPECT_TRUE(writer.Started());
    return writer;
}

void StartTogether(std::vector<test::PipedChild>& writers)
{
    for (auto& writer : writers) ASSERT_TRUE(writer.Write("go\n"));
}

// Exports the store and checks that it holds exactly `entries` entries of
// each writer, each writer's newest first. Empty when it does; else what is wrong.
std::string CheckExport(const std::string& storePath, const std::string& logPath, const std::map<int, int>& entries)
{
    RegisterEventSource(storePath);
    const ExportOutcome outcome = ExportEventLog(logPath);
    if (outcome.result != ExportOutcome::Result::Written) return "export failed: " + outcome.problem;
    std::map<int, int> expectedNext;
    for (const auto& [id, count] : entries) expectedNext[id] = count - 1;
    std::istringstream lines(test::ReadFileBytes(logPath));
    for (std::string line; std::getline(lines, line);) {
        int id = -1;
        int entry = -1;
        if (line.empty() || line.back() != '\r' ||
            std::sscanf(line.c_str() + 19 + 14, "writer %d entry %d", &id, &entry) != 2)
            return "bad line: " + line;
        if (!expectedNext.count(id) || entry != expectedNext[id]) return "out of order or unexpected: " + line;
        --expectedNext[id];
    }
    for (const auto& [id, next] : expectedNext) {
        if (next != -1) return "writer " + std::to_string(id) + " lost entries 0 to " + std::to_string(next);
    }
    return {};
}

TEST(ConcurrentWriters, EightProcessesLoseNothingAndExportNewestFirst)
{
    constexpr int kWriters = 8;
    constexpr int kEntries = 1000;
    test::TempFolder folder;
    const std::string storePath = folder.Path("eventlog.sqlite");

    std::vector<test::PipedChild> writers;
    std::map<int, int> expected;
    for (int id = 0; id < kWriters; ++id) {
        writers.push_back(SpawnWriter(storePath, id, kEntries));
        expected[id] = kEntries;
    }
    StartTogether(writers);
    for (auto& writer : writers) EXPECT_EQ(writer.Finish(), 0);
    EXPECT_EQ(CheckExport(storePath, folder.Path("export.log"), expected), "");
}

TEST(ConcurrentWriters, EightProcessesStartingOnADamagedStoreRepairItOnceAndLoseNothing)
{
    constexpr int kWriters = 8;
    constexpr int kEntries = 500;
    constexpr int kRoundsPerDamage = 3;
    test::TempFolder folder;
    const std::string storePath = folder.Path("eventlog.sqlite");
    for (test::Damage damage : test::kDamages) {
        for (int round = 0; round < kRoundsPerDamage; ++round) {
            SCOPED_TRACE(std::string(test::DamageName(damage)) + ", round " + std::to_string(round));
            const std::string damaged = test::MakeDamagedStore(storePath, damage);
            std::vector<test::PipedChild> writers;
            std::map<int, int> expected;
            for (int id = 0; id < kWriters; ++id) {
                writers.push_back(SpawnWriter(storePath, id, kEntries));
                expected[id] = kEntries;
            }
            StartTogether(writers);
            for (auto& writer : writers) EXPECT_EQ(writer.Finish(), 0);

            EXPECT_EQ(CheckExport(storePath, folder.Path("export.log"), expected), "");
            // Exactly one copy, of the store as it was found damaged.
            EXPECT_EQ(test::ReadFileBytes(storePath + ".broken"), damaged);
            int copies = 0;
            for (const auto& file : std::filesystem::directory_iterator(folder.Path(""))) {
                if (file.path().filename().string().find(".broken") != std::string::npos) ++copies;
            }
            EXPECT_EQ(copies, 1);
        }
    }
}

TEST(ConcurrentWriters, AWriterGoesOnWhileAnotherProcessHoldsTheStoreAndEndsWithinItsBound)
{
    test::TempFolder folder;
    const std::string storePath = folder.Path("eventlog.sqlite");
    ASSERT_TRUE(EventStore::OpenForWriting(storePath));
    sqlite3* lock = nullptr;
    ASSERT_EQ(sqlite3_open(storePath.c_str(), &lock), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(lock, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    std::vector<test::PipedChild> writers;
    writers.push_back(SpawnWriter(storePath, 0, 200, true));
    writers.push_back(SpawnWriter(storePath, 1, 200, true));
    StartTogether(writers);
    // Both wrote all their entries while the lock is held: none waited for it.
    // (A line end of the C runtime: CR LF on Windows.)
    for (auto& writer : writers) EXPECT_THAT(writer.Read(15), ::testing::StartsWith("written"));
    // One ends while the lock is still held: its end waits a bounded time,
    // and what it could not store is left to syslog.
    EXPECT_EQ(writers[1].Finish(), 0);
    // The other's entries are stored once the lock is let go.
    sqlite3_exec(lock, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(lock);
    EXPECT_EQ(writers[0].Finish(), 0);
    EXPECT_EQ(CheckExport(storePath, folder.Path("export.log"), {{0, 200}}), "");
}

}  // namespace
}  // namespace nerolin
