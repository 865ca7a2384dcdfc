// The processor time the agent uses while it only waits for its user: the
// main window showing a loaded session, then the mobile-signing dialog open
// over it (which asks the service for the session's state every two
// seconds). The real program runs on a private Xvfb display, so the xcb
// platform paints as it would on a desktop; the dialog is opened with real
// key presses (xdotool). The figure is the share of one core over a quiet
// period of 10 s, from the processor time of every thread of the process
// (/proc/PID/task/*/schedstat, in nanoseconds: utime and stime come in
// 10 ms ticks, half the goal over such a period); periods repeat until two
// agree within 10 % or 0.01 % of a core. Goal: under 0.2 % of a core each.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "bench/support/GoalLine.h"
#include "bench/support/SideBySide.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DevService.h"

namespace {

namespace fs = std::filesystem;
using nerolin::test::ChildProcess;
using nerolin::test::EnvironmentChanges;

constexpr auto kQuietPeriod = std::chrono::seconds(10);

// Processor time of every thread of a process, in seconds.
double ProcessorSeconds(pid_t pid)
{
    double total = 0;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream file(task.path() / "schedstat");
        unsigned long long nanoseconds = 0;
        if (file >> nanoseconds) total += static_cast<double>(nanoseconds) * 1e-9;
    }
    return total;
}

// Percent of one core the process used over the quiet period.
double IdlePercent(pid_t pid)
{
    const auto start = std::chrono::steady_clock::now();
    const double before = ProcessorSeconds(pid);
    std::this_thread::sleep_for(kQuietPeriod);
    const double after = ProcessorSeconds(pid);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return (after - before) / elapsed * 100.0;
}

// Quiet periods until two agree; the window stays as it is meanwhile.
nerolin::bench::Agreed Idle(pid_t pid)
{
    nerolin::bench::AgreementOptions options;
    options.resolution = 0.01;
    options.maxRounds = 4;
    const auto agreed = nerolin::bench::RepeatUntilAgreed(
        [&] { return std::optional<std::vector<double>>{{IdlePercent(pid)}}; }, options);
    return agreed.value_or(nerolin::bench::Agreed{});
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::seconds bound = std::chrono::seconds(60))
{
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// xdotool with the display; its standard output.
std::string XdoTool(const fs::path& home, const std::string& display, const std::vector<std::string>& arguments)
{
    ChildProcess tool("/usr/bin/xdotool", arguments, {{"DISPLAY", display}}, home);
    tool.Wait();
    return tool.Stdout();
}

int WaitingWindowAndMobileDialog()
{
    char pattern[] = "/tmp/nerolin-bench-idle-XXXXXX";
    const fs::path home = mkdtemp(pattern);
    nerolin::test::DevService service;
    if (!service.Running()) {
        std::fprintf(stderr, "bench_app_idle: the reference service did not start\n");
        return 1;
    }
    ChildProcess xvfb("/usr/bin/Xvfb",
                      {"-displayfd", "1", "-noreset", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {}, home);
    std::string number;
    if (!WaitFor([&] { return (number = xvfb.Stdout()).find('\n') != std::string::npos; })) {
        std::fprintf(stderr, "bench_app_idle: Xvfb did not start\n");
        return 1;
    }
    const std::string display = ":" + number.substr(0, number.find('\n'));

    int status = 1;
    do {
        const auto session = service.CreateSession(
            R"({"mode":"SELECT_CERTIFICATE_AND_SIGN","documents":[{"name":"contract.pdf"},{"name":"annex.pdf"}]})");
        if (!session) {
            std::fprintf(stderr, "bench_app_idle: no session\n");
            break;
        }
        const fs::path shown = home / "shown.png";
        fs::remove(shown);
        const std::string h = home.string();
        const EnvironmentChanges environment = {
            {"DISPLAY", display},
            {"WAYLAND_DISPLAY", std::nullopt},
            {"QT_QPA_PLATFORM", std::nullopt},
            {"LANGUAGE", "en"},
            {"HOME", h},
            {"XDG_CONFIG_HOME", h + "/config"},
            {"XDG_DATA_HOME", h + "/data"},
            {"XDG_STATE_HOME", h + "/state"},
            {"XDG_RUNTIME_DIR", h},
            {"SSL_CERT_FILE", service.SslCertFile()},
            {"NEROLIN_TEST_WHITELIST_URL", service.WhitelistUrl()},
            {"NEROLIN_TEST_SCREENSHOT", shown.string()},
        };
        ChildProcess agent(NEROLIN_BINARY_DIR "/bin/nerolin", {session->link}, environment, home);
        // The picture is saved once the session's documents are shown.
        if (!WaitFor([&] { return fs::exists(shown) || !agent.Running(); }) || !agent.Running()) {
            std::fprintf(stderr, "bench_app_idle: the window did not show the session: %s\n", agent.Stderr().c_str());
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));  // let the first paints settle
        const auto waiting = Idle(agent.Pid());

        // Focus starts on "Start sign"; one step back is "Sign with mobile".
        const std::string window = XdoTool(home, display, {"search", "--sync", "--name", "^Nerolin$"});
        XdoTool(home, display, {"windowfocus", "--sync", window.substr(0, window.find('\n'))});
        XdoTool(home, display, {"key", "--clearmodifiers", "shift+Tab", "space"});
        if (XdoTool(home, display, {"search", "--sync", "--name", "^Sign with mobile$"}).empty()) {
            std::fprintf(stderr, "bench_app_idle: the mobile-signing dialog did not open\n");
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const auto dialog = Idle(agent.Pid());
        agent.Kill(SIGTERM);
        agent.Wait();
        const std::vector<std::pair<std::string, nerolin::bench::Agreed>> results = {{"waiting main window", waiting},
                                                                                     {"mobile-signing dialog", dialog}};
        for (const auto& [what, figures] : results) {
            const double percent = figures.figures[0];
            char figure[32];
            std::snprintf(figure, sizeof figure, "%.3f %% of a core", percent);
            std::printf("Idle processor time, %s: %s\n", what.c_str(), figure);
            nerolin::bench::PrintGoalLine({std::string("idle CPU, ") + what + ": < 0.2 % of a core", figure,
                                           percent / 0.2, percent < 0.2, figures.Note() + ", Xvfb, 10 s periods"});
        }
        status = 0;
    } while (false);
    xvfb.Kill(SIGTERM);
    xvfb.Wait();
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return status;
}

}  // namespace

int main() { return WaitingWindowAndMobileDialog(); }
