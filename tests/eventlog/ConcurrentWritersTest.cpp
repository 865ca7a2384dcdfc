// Several processes write to one store at the same time; every entry must
// arrive, and the export must give them back newest first.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <sstream>

#include "eventlog/EventLog.h"
#include "eventlog/EventLogExport.h"
#include "tests/eventlog/TempFolder.h"

extern char** environ;

namespace nerolin {
namespace {

struct Writer {
    pid_t pid = -1;
    int input = -1;  // a line here starts the writer
};

Writer SpawnWriter(const std::string& storePath, int id, int count)
{
    int pipeEnds[2];
    EXPECT_EQ(pipe(pipeEnds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    const std::string program = NEROLIN_BINARY_DIR "/bin/eventlog-test-writer";
    const std::string idText = std::to_string(id);
    const std::string countText = std::to_string(count);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(storePath.c_str()),
                    const_cast<char*>(idText.c_str()), const_cast<char*>(countText.c_str()), nullptr};
    Writer writer;
    EXPECT_EQ(posix_spawn(&writer.pid, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[0]);
    writer.input = pipeEnds[1];
    return writer;
}

TEST(ConcurrentWriters, EightProcessesLoseNothingAndExportNewestFirst)
{
    constexpr int kWriters = 8;
    constexpr int kEntries = 1000;
    test::TempFolder folder;
    const std::string storePath = folder.Path("eventlog.sqlite");

    std::vector<Writer> writers;
    for (int id = 0; id < kWriters; ++id) writers.push_back(SpawnWriter(storePath, id, kEntries));
    for (const auto& writer : writers) {
        ASSERT_EQ(write(writer.input, "go\n", 3), 3);
        close(writer.input);
    }
    for (const auto& writer : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(writer.pid, &status, 0), writer.pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }

    RegisterEventSource(storePath);
    const std::string logPath = folder.Path("export.log");
    ASSERT_TRUE(ExportEventLog(logPath));
    std::istringstream lines(test::ReadFileBytes(logPath));

    // Newest first: each writer's entries appear from its last to its first.
    std::map<int, int> expectedNext;
    for (int id = 0; id < kWriters; ++id) expectedNext[id] = kEntries - 1;
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        int id = -1;
        int entry = -1;
        ASSERT_EQ(std::sscanf(line.c_str() + 19 + 14, "writer %d entry %d", &id, &entry), 2) << line;
        ASSERT_TRUE(expectedNext.count(id)) << line;
        ASSERT_EQ(entry, expectedNext[id]) << line;
        --expectedNext[id];
    }
    EXPECT_EQ(count, kWriters * kEntries);
}

}  // namespace
}  // namespace nerolin
