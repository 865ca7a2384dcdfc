#pragma once

// Runs a program of the build as a real child process, with the test's
// environment plus changes, and collects its exit status and output.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace nerolin::test {

// name -> value; nullopt removes the variable.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

// The environment of a run without any display.
inline EnvironmentChanges NoDisplay()
{
    return {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"QT_QPA_PLATFORM", std::nullopt}};
}

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const EnvironmentChanges& changes, const std::filesystem::path& outputFolder)
        : stdout_(outputFolder / ("out-" + std::to_string(++counter_))),
          stderr_(outputFolder / ("err-" + std::to_string(counter_)))
    {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::string text = *entry;
            if (changes.count(text.substr(0, text.find('='))) == 0) environment.push_back(text);
        }
        for (const auto& [name, value] : changes) {
            if (value) environment.push_back(name + "=" + *value);
        }
        std::vector<char*> envp;
        for (std::string& text : environment) envp.push_back(text.data());
        envp.push_back(nullptr);
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, stdout_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, stderr_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess()
    {
        if (Running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Running()
    {
        if (pid_ <= 0 || status_) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return false;
        }
        return true;
    }

    // The exit status; -1 when the process was still running after the
    // bound (it is then killed).
    int Wait(std::chrono::seconds bound = std::chrono::seconds(60))
    {
        auto end = std::chrono::steady_clock::now() + bound;
        while (Running() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (Running()) {
            Kill(SIGKILL);
            return -1;
        }
        return status_.value_or(-1);
    }

    void Kill(int signal)
    {
        if (!Running()) return;
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = 128 + signal;
    }

    pid_t Pid() const { return pid_; }
    std::string Stdout() const { return ReadAll(stdout_); }
    std::string Stderr() const { return ReadAll(stderr_); }

private:
    static std::string ReadAll(const std::filesystem::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    static inline int counter_ = 0;
    std::filesystem::path stdout_;
    std::filesystem::path stderr_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Polls until condition holds, for at most bound; true when it held.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::seconds bound = std::chrono::seconds(30))
{
    auto end = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

}  // namespace nerolin::test
