// Time from the start of the nerolin process to the first paint of its main
// window (without a link: the empty main window), side by side in one run
// with a minimal Qt dialog of 25 widgets that this benchmark builds in a
// process of its own, on the same platform: Qt's offscreen platform, which
// paints into memory as a desktop's would into its window. Both report the
// first paint the same way (app/ui/FirstPaint.h). Wall time: these are whole
// process starts. Goal: at most 1.5 times the dialog.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/ui/FirstPaint.h"
#include "bench/support/AgentRun.h"
#include "bench/support/GoalLine.h"
#include "bench/support/SideBySide.h"

namespace nerolin::bench {
namespace {

constexpr char kDialogArgument[] = "--minimal-dialog";

// The reference: a dialog such as any small Qt program shows, 25 widgets
// with itself (its form's labels and the button box's buttons counted).
int ShowMinimalDialog(int argc, char** argv)
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Minimal dialog");
    auto* layout = new QVBoxLayout(&dialog);
    auto* title = new QLabel("A dialog of twenty-five widgets");
    layout->addWidget(title);
    auto* group = new QGroupBox("Details");
    auto* form = new QFormLayout(group);
    for (const char* name : {"Name", "Host", "Port", "User"}) form->addRow(name, new QLineEdit);
    layout->addWidget(group);
    auto* list = new QListWidget;
    list->addItems({"first", "second", "third"});
    layout->addWidget(list);
    auto* combo = new QComboBox;
    combo->addItems({"one", "two"});
    layout->addWidget(combo);
    for (const char* text : {"Remember", "Start at once", "Close when done"}) layout->addWidget(new QCheckBox(text));
    auto* progress = new QProgressBar;
    progress->setValue(40);
    layout->addWidget(progress);
    for (const char* text : {"Help", "Details", "Save", "Print"}) layout->addWidget(new QPushButton(text));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    layout->addWidget(new QLabel("Ready"));
    AfterFirstPaint(dialog, [&] {
        std::fputs("dialog painted\n", stdout);
        std::fflush(stdout);
        dialog.reject();
    });
    dialog.show();
    return application.exec();
}

std::string MakeHome()
{
    char home[] = "/tmp/nerolin-bench-app-XXXXXX";
    if (mkdtemp(home) == nullptr) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return home;
}

// Starts the program, waits for the line that says its first frame is
// painted; the time from the start to that line.
std::optional<double> SecondsToFirstPaint(const std::string& program, const std::vector<std::string>& arguments,
                                          std::vector<std::string> settings, const char* line)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return std::nullopt;
    std::vector<char*> environment;
    for (auto& entry : settings) environment.push_back(entry.data());
    environment.push_back(nullptr);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    // The offscreen platform's remarks would only clutter the table.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return std::nullopt;
    }
    std::string output;
    char buffer[256];
    std::optional<double> seconds;
    // A program stuck before its first paint (a message box offscreen) is
    // given up after a minute rather than waited for.
    const auto deadline = start + std::chrono::seconds(60);
    while (!seconds) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd readable{pipeEnds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            std::fprintf(stderr, "bench_app_startup: %s did not report \"%s\" within 60 s\n", program.c_str(), line);
            break;
        }
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, static_cast<std::size_t>(n));
        if (output.find(line) != std::string::npos) {
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    if (!nerolin::bench::WaitForChild(child, std::chrono::seconds(30), status)) {
        std::fprintf(stderr, "bench_app_startup: %s did not end within 30 s (killed)\n", program.c_str());
    }
    return seconds;
}

int Run()
{
    const std::string home = MakeHome();
    std::vector<std::string> common = {
        "QT_QPA_PLATFORM=offscreen",
        "LANGUAGE=en",
        "HOME=" + home,
        "XDG_CONFIG_HOME=" + home + "/config",
        "XDG_DATA_HOME=" + home + "/data",
        "XDG_STATE_HOME=" + home + "/state",
        "XDG_RUNTIME_DIR=" + home,
    };
    for (std::string& variable : nerolin::bench::SystemXdgVariables()) {
        common.push_back(std::move(variable));
    }
    std::vector<std::string> agentSettings = common;
    agentSettings.push_back("NEROLIN_TEST_REPORT_SHOWN=1");
    const std::string agent = std::string(NEROLIN_BINARY_DIR) + "/bin/nerolin";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const auto figures =
        MeasureSideBySide([&] { return SecondsToFirstPaint(agent, {}, agentSettings, "nerolin: window painted"); },
                          [&] { return SecondsToFirstPaint(self, {kDialogArgument}, common, "dialog painted"); }, 9);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    if (!figures) {
        std::fprintf(stderr, "bench_app_startup: nerolin or the dialog did not report its first paint\n");
        return 1;
    }
    std::printf("Start to first paint, offscreen: nerolin %s; minimal dialog of 25 widgets %s (wall time)\n",
                FormatSpread(figures->subject).c_str(), FormatSpread(figures->reference).c_str());
    PrintGoalLine({"start-up to first paint: <= 1.5 x a minimal 25-widget Qt dialog",
                   FormatSpread(figures->subject) + " vs " + FormatSpread(figures->reference), figures->ratio,
                   figures->ratio <= 1.5, figures->agreed.Note() + ", wall time, offscreen"});
    return 0;
}

}  // namespace
}  // namespace nerolin::bench

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], nerolin::bench::kDialogArgument) == 0)
        return nerolin::bench::ShowMinimalDialog(argc, argv);
    return nerolin::bench::Run();
}
