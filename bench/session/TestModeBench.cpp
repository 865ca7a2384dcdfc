// How long a TEST link takes end to end (process start, whitelist download
// with its chain test, configuration, version check, exit) against the local
// reference service, side by side with the same two exchanges made by two
// runs of the curl command line. The counter "ratio" is agent / curl.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../../tests/support/DevService.h"
#include "../../tests/support/TestPki.h"

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
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void TestModeRunBesideCurl(benchmark::State& state)
{
    nerolin::test::DevService service;
    if (!service.Running()) {
        state.SkipWithError("the reference service did not start");
        return;
    }
    const std::string home = service.Directory() + "/agent-home";
    std::filesystem::create_directories(home);
    const std::vector<std::string> agentEnvironment = {
        "HOME=" + home,
        "XDG_CONFIG_HOME=" + home,
        "XDG_DATA_HOME=" + home,
        "XDG_STATE_HOME=" + home,
        "XDG_RUNTIME_DIR=" + home,
        "LANGUAGE=en",
        "SSL_CERT_FILE=" + service.SslCertFile(),
        "NEROLIN_TEST_WHITELIST_URL=" + service.WhitelistUrl(),
    };
    const std::string agent = std::string(NEROLIN_BINARY_DIR) + "/bin/nerolin";
    double agentSeconds = 0;
    double curlSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // A TEST session ends after its configuration was read: one each.
        const auto session = service.CreateSession(R"({"mode":"TEST"})");
        const auto curlSession = service.CreateSession(R"({"mode":"TEST"})");
        state.ResumeTiming();
        if (!session || !curlSession) {
            state.SkipWithError("no session");
            return;
        }
        auto start = std::chrono::steady_clock::now();
        if (RunQuietly({agent, session->link}, agentEnvironment) != 0) {
            state.SkipWithError("the TEST run failed");
            return;
        }
        const double agentRun = Seconds(start);
        agentSeconds += agentRun;
        state.SetIterationTime(agentRun);

        start = std::chrono::steady_clock::now();
        const int whitelist = RunQuietly({"curl", "-sSf", "--cacert", nerolin::test::TrustedRootsFile(),
                                          service.WhitelistUrl() + "?server=127.0.0.1"},
                                         {});
        const int config =
            RunQuietly({"curl", "-sSf", "--cacert", service.SslCertFile(), "-H", "Content-Type:", "--data-binary",
                        R"({"sessionId":")" + curlSession->sessionId + R"(","cancel":false})", curlSession->sessionUrl},
                       {});
        curlSeconds += Seconds(start);
        if (whitelist != 0 || config != 0) {
            state.SkipWithError("a curl exchange failed");
            return;
        }
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["agent_ms"] = 1000 * agentSeconds / runs;
    state.counters["curl_ms"] = 1000 * curlSeconds / runs;
    state.counters["ratio"] = curlSeconds > 0 ? agentSeconds / curlSeconds : 0;
}

BENCHMARK(TestModeRunBesideCurl)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
