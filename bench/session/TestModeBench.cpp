// How long a TEST link takes end to end (process start, whitelist download
// with its chain test, configuration, version check, exit) against the local
// reference service, side by side in one run with the same two exchanges
// made by two runs of the curl command line. Wall time: both are whole
// processes. Goal: at most 1.3 times the two curl runs.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/support/AgentRun.h"
#include "bench/support/GoalLine.h"
#include "bench/support/SideBySide.h"
#include "tests/support/DevService.h"
#include "tests/support/TestPki.h"

extern char** environ;

namespace {

// Runs a program to its end with output discarded; its exit status, or -1.
int RunQuietly(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    if (!nerolin::bench::WaitForChild(pid, std::chrono::seconds(60), status)) {
        std::fprintf(stderr, "bench_session_test_mode: %s did not end within 60 s (killed)\n", argv[0]);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

using nerolin::bench::FormatSpread;
using nerolin::bench::MeasureSideBySide;
using nerolin::bench::PrintGoalLine;

int Run()
{
    nerolin::test::DevService service;
    if (!service.Running()) {
        std::fprintf(stderr, "bench_session_test_mode: the reference service did not start\n");
        return 1;
    }
    const std::string home = service.Directory() + "/agent-home";
    std::filesystem::create_directories(home);
    std::vector<std::string> agentEnvironment = {
        "HOME=" + home,
        "XDG_CONFIG_HOME=" + home,
        "XDG_DATA_HOME=" + home,
        "XDG_STATE_HOME=" + home,
        "XDG_RUNTIME_DIR=" + home,
        "LANGUAGE=en",
        "SSL_CERT_FILE=" + service.SslCertFile(),
        "NEROLIN_TEST_WHITELIST_URL=" + service.WhitelistUrl(),
    };
    for (std::string& variable : nerolin::bench::SystemXdgVariables()) {
        agentEnvironment.push_back(std::move(variable));
    }
    const std::string agent = std::string(NEROLIN_BINARY_DIR) + "/bin/nerolin";
    // A TEST session ends after its configuration was read: a new one for
    // every run, made before the clock starts.
    const auto agentRun = [&]() -> std::optional<double> {
        const auto session = service.CreateSession(R"({"mode":"TEST"})");
        if (!session) return std::nullopt;
        const auto start = std::chrono::steady_clock::now();
        if (RunQuietly({agent, session->link}, agentEnvironment) != 0) return std::nullopt;
        return Seconds(start);
    };
    const auto curlRuns = [&]() -> std::optional<double> {
        const auto session = service.CreateSession(R"({"mode":"TEST"})");
        if (!session) return std::nullopt;
        const auto start = std::chrono::steady_clock::now();
        const int whitelist = RunQuietly({"curl", "-sSf", "--cacert", nerolin::test::TrustedRootsFile(),
                                          service.WhitelistUrl() + "?server=127.0.0.1"},
                                         {});
        const int config =
            RunQuietly({"curl", "-sSf", "--cacert", service.SslCertFile(), "-H", "Content-Type:", "--data-binary",
                        R"({"sessionId":")" + session->sessionId + R"(","cancel":false})", session->sessionUrl},
                       {});
        if (whitelist != 0 || config != 0) return std::nullopt;
        return Seconds(start);
    };
    const auto figures = MeasureSideBySide(agentRun, curlRuns, 9);
    if (!figures) {
        std::fprintf(stderr, "bench_session_test_mode: a TEST run or a curl exchange failed\n");
        return 1;
    }
    std::printf("TEST link end to end: %s; two curl runs: %s (wall time)\n", FormatSpread(figures->subject).c_str(),
                FormatSpread(figures->reference).c_str());
    PrintGoalLine({"TEST mode run: <= 1.3 x two curl command-line exchanges",
                   FormatSpread(figures->subject) + " vs " + FormatSpread(figures->reference), figures->ratio,
                   figures->ratio <= 1.3, figures->agreed.Note() + ", wall time"});
    return 0;
}

}  // namespace

int main() { return Run(); }
