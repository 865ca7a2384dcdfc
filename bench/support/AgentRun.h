#pragma once

// What a benchmark that starts the agent with an environment of its own
// needs: the system-wide XDG folders the benchmark itself sees (kept out of
// the machine's by tests/support/isolation), and a wait for the child that
// gives up at a deadline instead of hanging behind a message box.

#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace nerolin::bench {

inline std::vector<std::string> SystemXdgVariables()
{
    std::vector<std::string> variables;
    for (const char* name : {"XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) {
        if (const char* value = std::getenv(name)) {
            variables.push_back(std::string(name) + "=" + value);
        }
    }
    return variables;
}

// The child's end within limit; otherwise it is killed and false returned.
inline bool WaitForChild(pid_t child, std::chrono::seconds limit, int& status, rusage* usage = nullptr)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    rusage ignored{};
    while (true) {
        const pid_t ended = wait4(child, &status, WNOHANG, usage != nullptr ? usage : &ignored);
        if (ended == child) {
            return true;
        }
        if (ended < 0) {
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            wait4(child, &status, 0, &ignored);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace nerolin::bench
