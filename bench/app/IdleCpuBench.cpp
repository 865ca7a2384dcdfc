// The processor time the agent uses while it only waits for its user: the
// main window showing a loaded session, then the mobile-signing dialog open
// over it (which asks the service for the session's state every two
// seconds). The real program runs on a private Xvfb display, so the xcb
// platform paints as it would on a desktop; the dialog is opened with real
// key presses (xdotool). The figure is the share of one core, from the
// process's user and system time in /proc over a quiet period.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/DevService.h"

namespace {

namespace fs = std::filesystem;
using nerolin::test::ChildProcess;
using nerolin::test::EnvironmentChanges;

constexpr auto kQuietPeriod = std::chrono::seconds(15);

// User plus system time of a process, in seconds.
double ProcessorSeconds(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), {});
    // The command name may hold blanks: fields are counted after its ')'.
    const auto close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) user = std::stoull(field);
        if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
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

void WaitingWindowAndMobileDialog(benchmark::State& state)
{
    char pattern[] = "/tmp/nerolin-bench-idle-XXXXXX";
    const fs::path home = mkdtemp(pattern);
    nerolin::test::DevService service;
    if (!service.Running()) {
        state.SkipWithError("the reference service did not start");
        return;
    }
    ChildProcess xvfb("/usr/bin/Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {},
                      home);
    std::string number;
    if (!WaitFor([&] { return (number = xvfb.Stdout()).find('\n') != std::string::npos; })) {
        state.SkipWithError("Xvfb did not start");
        return;
    }
    const std::string display = ":" + number.substr(0, number.find('\n'));

    for (auto _ : state) {
        const auto session = service.CreateSession(
            R"({"mode":"SELECT_CERTIFICATE_AND_SIGN","documents":[{"name":"contract.pdf"},{"name":"annex.pdf"}]})");
        if (!session) {
            state.SkipWithError("no session");
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
            state.SkipWithError(("the window did not show the session: " + agent.Stderr()).c_str());
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));  // let the first paints settle
        state.counters["waiting_window_cpu_percent"] = IdlePercent(agent.Pid());

        // Focus starts on "Start sign"; one step back is "Sign with mobile".
        const std::string window = XdoTool(home, display, {"search", "--sync", "--name", "^Nerolin$"});
        XdoTool(home, display, {"windowfocus", "--sync", window.substr(0, window.find('\n'))});
        XdoTool(home, display, {"key", "--clearmodifiers", "shift+Tab", "space"});
        if (XdoTool(home, display, {"search", "--sync", "--name", "^Sign with mobile$"}).empty()) {
            state.SkipWithError("the mobile-signing dialog did not open");
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state.counters["mobile_dialog_cpu_percent"] = IdlePercent(agent.Pid());
        agent.Kill(SIGTERM);
        agent.Wait();
    }
    xvfb.Kill(SIGTERM);
    xvfb.Wait();
    std::error_code ignored;
    fs::remove_all(home, ignored);
}
BENCHMARK(WaitingWindowAndMobileDialog)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
