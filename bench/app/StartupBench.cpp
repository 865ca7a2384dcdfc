// Time from the start of the nerolin process to its main window being shown,
// on Qt's offscreen platform, without a link (the empty main window).

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string MakeHome()
{
    char home[] = "/tmp/nerolin-bench-app-XXXXXX";
    if (mkdtemp(home) == nullptr) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return home;
}

// Starts nerolin, waits for its "window shown" line, returns the elapsed time.
double SecondsToWindowShown(const std::string& home)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return -1;
    }
    const std::string program = std::string(NEROLIN_BINARY_DIR) + "/bin/nerolin";
    std::vector<std::string> settings = {
        "QT_QPA_PLATFORM=offscreen",
        "NEROLIN_TEST_REPORT_SHOWN=1",
        "LANGUAGE=en",
        "HOME=" + home,
        "XDG_CONFIG_HOME=" + home + "/config",
        "XDG_DATA_HOME=" + home + "/data",
        "XDG_STATE_HOME=" + home + "/state",
        "XDG_RUNTIME_DIR=" + home,
    };
    std::vector<char*> environment;
    for (auto& entry : settings) {
        environment.push_back(entry.data());
    }
    environment.push_back(nullptr);
    char* arguments[] = {const_cast<char*>(program.c_str()), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);

    const auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return -1;
    }
    std::string output;
    char buffer[256];
    double seconds = -1;
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(n));
        if (output.find("window shown") != std::string::npos) {
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            break;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return seconds;
}

void StartToMainWindowShown(benchmark::State& state)
{
    const std::string home = MakeHome();
    for (auto _ : state) {
        const double seconds = SecondsToWindowShown(home);
        if (seconds < 0) {
            state.SkipWithError("nerolin did not report its window");
            break;
        }
        state.SetIterationTime(seconds);
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}
BENCHMARK(StartToMainWindowShown)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
