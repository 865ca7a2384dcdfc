#include "tests/support/ServiceProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace nerolin::test {
namespace {

constexpr auto kStopBound = std::chrono::seconds(10);

}  // namespace

std::string ServiceProgram() { return NEROLIN_DEVSERVICE_PROGRAM; }

const char* ServiceHostName() { return "127.0.0.1"; }

std::string PathFromService(const std::string& servicePath) { return servicePath; }

struct ServiceProcess::Handles {
    pid_t pid = -1;
    int input = -1;  // the test's end of the service's standard input
};

ServiceProcess::ServiceProcess(const std::vector<std::string>& arguments, const std::string& logPath)
    : handles_(std::make_unique<Handles>())
{
    std::vector<std::string> words = arguments;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (posix_spawn(&handles_->pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) handles_->pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[0]);
    handles_->input = pipe[1];
}

ServiceProcess::~ServiceProcess()
{
    Handles& h = *handles_;
    if (h.input >= 0) ::close(h.input);
    if (h.pid <= 0) return;
    ::kill(h.pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopBound;
    int status = 0;
    while (::waitpid(h.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(h.pid, SIGKILL);
            ::waitpid(h.pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool ServiceProcess::Started() const { return handles_->pid > 0; }

bool ServiceProcess::MayRun()
{
    Handles& h = *handles_;
    int status = 0;
    if (h.pid > 0 && ::waitpid(h.pid, &status, WNOHANG) == h.pid) h.pid = -1;
    return h.pid > 0;
}

pid_t ServiceProcess::Pid() const { return handles_->pid; }

}  // namespace nerolin::test
