#include "tests/support/Tinyproxy.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/FreePort.h"

extern char** environ;

namespace nerolin::test {

Tinyproxy::Tinyproxy(const std::string& folder, const std::string& user, const std::string& password)
{
    std::filesystem::create_directories(folder);
    logFile_ = folder + "/tinyproxy.log";
    const std::string config = folder + "/tinyproxy.conf";
    for (int attempt = 0; attempt < 5 && pid_ < 0; ++attempt) {
        port_ = FreePort();
        std::ofstream(config) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 8\n"
                              << "LogFile \"" << logFile_ << "\"\nLogLevel Connect\n"
                              << "BasicAuth " << user << " " << password << "\n";
        const char* argv[] = {"tinyproxy", "-d", "-c", config.c_str(), nullptr};
        pid_t pid = -1;
        if (posix_spawnp(&pid, "tinyproxy", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
            return;
        }
        // Poll with a generous bound until it listens (or has died on a taken port).
        bool ended = false;
        for (int i = 0; i < 200 && !ended; ++i) {
            if (Accepts(port_)) {
                pid_ = pid;
                running_ = true;
                break;
            }
            ended = waitpid(pid, nullptr, WNOHANG) == pid;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (pid_ < 0 && !ended) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
}

Tinyproxy::~Tinyproxy()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string Tinyproxy::Log() const
{
    std::ifstream in(logFile_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace nerolin::test
