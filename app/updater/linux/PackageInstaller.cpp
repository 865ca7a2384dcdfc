#include "app/updater/PackageInstaller.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

extern char** environ;

namespace nerolin {
namespace {

constexpr std::size_t kMaxOutput = 4096;

struct Spawned {
    pid_t pid = -1;
    int output = -1;  // the read end of its standard output, or -1
};

// Starts program with arguments, standard input from /dev/null, standard
// output into a pipe when asked, standard error to /dev/null.
Spawned Spawn(const std::vector<std::string>& words, bool captureOutput)
{
    int pipeEnds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeEnds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (captureOutput) {
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> copies = words;
    std::vector<char*> argv;
    for (std::string& word : copies) argv.push_back(word.data());
    argv.push_back(nullptr);
    Spawned spawned;
    if (posix_spawnp(&spawned.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) spawned.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (captureOutput) {
        close(pipeEnds[1]);
        if (spawned.pid > 0) {
            spawned.output = pipeEnds[0];
        } else {
            close(pipeEnds[0]);
        }
    }
    return spawned;
}

// The exit status once the process has ended within bound; nullopt while it
// still runs.
std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds bound)
{
    const auto end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0) return -1;
        if (std::chrono::steady_clock::now() >= end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

const char kUpdateSystem[] = "linux";

std::optional<std::string> PackageVersion(const std::string& path)
{
    Spawned tool = Spawn({"dpkg-deb", "--field", path, "Version"}, true);
    if (tool.pid <= 0) return std::nullopt;
    std::string output;
    pollfd readable{tool.output, POLLIN, 0};
    char buffer[512];
    // A package's control file is read at once; the bound keeps a damaged
    // archive from holding the updater.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (output.size() <= kMaxOutput && std::chrono::steady_clock::now() < end) {
        if (poll(&readable, 1, 200) < 0) break;
        if ((readable.revents & (POLLIN | POLLHUP)) == 0) continue;
        const ssize_t n = read(tool.output, buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, static_cast<std::size_t>(n));
    }
    close(tool.output);
    auto status = WaitFor(tool.pid, std::chrono::seconds(5));
    if (!status) {
        kill(tool.pid, SIGKILL);
        status = WaitFor(tool.pid, std::chrono::seconds(5));
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    if (status != 0 || output.empty() || output.size() > 256 || output.find('\n') != std::string::npos) {
        return std::nullopt;
    }
    return output;
}

bool HandToInstaller(const std::string& path, std::chrono::milliseconds bound)
{
    Spawned opener = Spawn({"xdg-open", path}, false);
    if (opener.pid <= 0) return false;
    const auto status = WaitFor(opener.pid, bound);
    // Still running: it found a program and waits for it. The process is not
    // waited for any more; the program closes soon after, for the installation.
    return !status || *status == 0;
}

// xdg-open has taken the package already.
void StartHandedOverInstaller() {}

}  // namespace nerolin
