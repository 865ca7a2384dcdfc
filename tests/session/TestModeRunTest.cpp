#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "../support/DevService.h"
#include "SessionTestEnvironment.h"

extern char** environ;

namespace nerolin::test {
namespace {

struct AgentRun {
    int exitStatus = -1;
    std::string errorOutput;
};

// The real program with a link, without a display: its message boxes become
// lines on standard error.
AgentRun RunAgent(const DevService& service, const std::string& link)
{
    const std::string errorFile = TestHome() + "/agent-stderr.txt";
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("SSL_CERT_FILE=", 0) != 0 &&
            entry.rfind("LANGUAGE=", 0) != 0 && entry.rfind("NEROLIN_TEST_WHITELIST_URL=", 0) != 0) {
            environment.push_back(entry);
        }
    }
    environment.push_back("SSL_CERT_FILE=" + service.SslCertFile());
    environment.push_back("NEROLIN_TEST_WHITELIST_URL=" + service.WhitelistUrl());
    environment.push_back("LANGUAGE=en");
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    const std::string program = std::string(NEROLIN_BINARY_DIR) + "/bin/nerolin";
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(link.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    AgentRun run;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream in(errorFile);
    std::stringstream text;
    text << in.rdbuf();
    run.errorOutput = text.str();
    return run;
}

TEST(TestModeRun, HealthyServiceShowsNothing)
{
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    const auto session = service.CreateSession(R"({"mode":"TEST"})");
    ASSERT_TRUE(session);
    const AgentRun run = RunAgent(service, session->link);
    EXPECT_EQ(run.exitStatus, 0) << run.errorOutput;
    EXPECT_EQ(run.errorOutput, "");
    const auto report = service.SessionReport(session->sessionId);
    ASSERT_TRUE(report);
    EXPECT_NE(report->find("config"), std::string::npos) << *report;
}

TEST(TestModeRun, EachFailureShowsItsMessage)
{
    struct Case {
        const char* name;
        const char* whitelistCertificate;
        std::string request;
        std::string message;
    };
    const Case cases[] = {
        {"untrusted whitelist host", "host-wrong-id-root2", R"({"mode":"TEST"})",
         "Nerolin: Failed to download the list of the allowed proxy servers!\n"},
        // Refused by the built-in roots in the handshake: the trust test
        // explains it in the event log, the user reads one message.
        {"root with the right name and another key", "host-2848-fake-orvane", R"({"mode":"TEST"})",
         "Nerolin: Failed to download the list of the allowed proxy servers!\n"},
        // A refused answer without a result message: the test run's one text for it.
        {"answer nested deeper than any reader goes", "host-2848-root2",
         R"({"mode":"TEST","faults":{"exchange":"config","kind":"deepJson","bytes":204800}})",
         "Nerolin: Unknown error!\n"},
        {"service error", "host-2848-root2",
         R"({"mode":"TEST","faults":{"exchange":"config","kind":"serviceError","code":"ERROR","message":"Closed"}})",
         "Nerolin: Error occured during the opertation! Message: Closed\n"},
        {"wrong status", "host-2848-root2", R"({"mode":"TEST","faults":{"exchange":"config","kind":"status"}})",
         "Nerolin: Unknown error!\n"},
        {"other protocol version", "host-2848-root2", R"({"mode":"TEST","version":"2"})",
         "Nerolin: Not supported protocol version! Update your application!\n"},
    };
    for (const Case& c : cases) {
        DevService::Settings settings;
        settings.whitelistCertificate = c.whitelistCertificate;
        DevService service(settings);
        ASSERT_TRUE(service.Running()) << service.Log();
        const auto session = service.CreateSession(c.request);
        ASSERT_TRUE(session) << c.name;
        const AgentRun run = RunAgent(service, session->link);
        EXPECT_EQ(run.exitStatus, 1) << c.name;
        EXPECT_EQ(run.errorOutput, c.message) << c.name;
    }
}

}  // namespace
}  // namespace nerolin::test
