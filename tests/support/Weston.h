#pragma once

// A private Wayland compositor for one test: weston's headless backend on a
// socket of its own in the test's runtime folder, ended again at the end.

#include <signal.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "tests/support/ChildProcess.h"

namespace nerolin::test {

class Weston {
public:
    // runtimeFolder is the XDG_RUNTIME_DIR of the test's processes.
    Weston(const std::filesystem::path& runtimeFolder, const std::filesystem::path& outputFolder)
        : socket_("wayland-nerolin-" + std::to_string(getpid()))
    {
        server_ = std::make_unique<ChildProcess>(
            "/usr/bin/weston",
            std::vector<std::string>{"--backend=headless-backend.so", "--socket=" + socket_, "--idle-time=0",
                                     "--no-config"},
            EnvironmentChanges{{"XDG_RUNTIME_DIR", runtimeFolder.string()},
                               {"WAYLAND_DISPLAY", std::nullopt},
                               {"DISPLAY", std::nullopt}},
            outputFolder);
        ready_ = Eventually([&] { return std::filesystem::exists(runtimeFolder / socket_) || !server_->Running(); }) &&
                 server_->Running();
    }
    ~Weston() { server_->Kill(SIGTERM); }
    Weston(const Weston&) = delete;
    Weston& operator=(const Weston&) = delete;

    // The WAYLAND_DISPLAY of its clients; check Ready() first.
    const std::string& Socket() const { return socket_; }
    bool Ready() const { return ready_; }
    std::string Log() const { return server_->Stderr(); }

private:
    std::string socket_;
    std::unique_ptr<ChildProcess> server_;
    bool ready_ = false;
};

}  // namespace nerolin::test
