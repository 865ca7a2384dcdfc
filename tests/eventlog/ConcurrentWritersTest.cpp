// Several processes write to one store at the same time; every entry must
// arrive, and the export must give them back newest first.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "eventlog/EventLog.h"
#include "eventlog/EventLogExport.h"
#include "eventlog/EventStore.h"
#include "tests/eventlog/DamagedStoreFixture.h"
#include "tests/eventlog/TempFolder.h"

extern char** environ;

namespace nerolin {
namespace {

struct Writer {
    pid_t pid = -1;
    int input = -1;   // a line here starts the writer (and, holding, ends it)
    int output = -1;  // "written" from a holding writer
};

Writer SpawnWriter(const std::string& storePath, int id, int count, bool hold = false)
{
    int inputEnds[2];
    int outputEnds[2];
    EXPECT_EQ(pipe(inputEnds), 0);
    EXPECT_EQ(pipe(outputEnds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inputEnds[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, inputEnds[1]);
    posix_spawn_file_actions_addclose(&actions, outputEnds[0]);
    const std::string program = NEROLIN_BINARY_DIR "/bin/eventlog-test-writer";
    const std::string idText = std::to_string(id);
    const std::string countText = std::to_string(count);
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(storePath.c_str()),
                               const_cast<char*>(idText.c_str()), const_cast<char*>(countText.c_str())};
    if (hold) argv.push_back(const_cast<char*>("hold"));
    argv.push_back(nullptr);
    Writer writer;
    EXPECT_EQ(posix_spawn(&writer.pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(inputEnds[0]);
    close(outputEnds[1]);
    writer.input = inputEnds[1];
    writer.output = outputEnds[0];
    return writer;
}

void StartTogether(std::vector<Writer>& writers)
{
    for (const auto& writer : writers) ASSERT_EQ(write(writer.input, "go\n", 3), 3);
}

// Waits for the writer's end; its exit status.
int Finish(Writer& writer)
{
    close(writer.input);
    close(writer.output);
    int status = 0;
    EXPECT_EQ(waitpid(writer.pid, &status, 0), writer.pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

    std::vector<Writer> writers;
    std::map<int, int> expected;
    for (int id = 0; id < kWriters; ++id) {
        writers.push_back(SpawnWriter(storePath, id, kEntries));
        expected[id] = kEntries;
    }
    StartTogether(writers);
    for (auto& writer : writers) EXPECT_EQ(Finish(writer), 0);
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
            std::vector<Writer> writers;
            std::map<int, int> expected;
            for (int id = 0; id < kWriters; ++id) {
                writers.push_back(SpawnWriter(storePath, id, kEntries));
                expected[id] = kEntries;
            }
            StartTogether(writers);
            for (auto& writer : writers) EXPECT_EQ(Finish(writer), 0);

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

    std::vector<Writer> writers = {SpawnWriter(storePath, 0, 200, true), SpawnWriter(storePath, 1, 200, true)};
    StartTogether(writers);
    // Both wrote all their entries while the lock is held: none waited for it.
    for (const auto& writer : writers) {
        char answer[16] = {};
        ASSERT_GT(read(writer.output, answer, sizeof answer - 1), 0);
        EXPECT_STREQ(answer, "written\n");
    }
    // One ends while the lock is still held: its end waits a bounded time,
    // and what it could not store is left to syslog.
    EXPECT_EQ(Finish(writers[1]), 0);
    // The other's entries are stored once the lock is let go.
    sqlite3_exec(lock, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(lock);
    EXPECT_EQ(Finish(writers[0]), 0);
    EXPECT_EQ(CheckExport(storePath, folder.Path("export.log"), {{0, 200}}), "");
}

}  // namespace
}  // namespace nerolin
