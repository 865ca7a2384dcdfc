#pragma once

// A private X server for one test: Xvfb on a display number of its own
// choosing, ended again at the end.

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/ChildProcess.h"

namespace nerolin::test {

class Xvfb {
public:
    explicit Xvfb(const std::filesystem::path& outputFolder)
    {
        // -displayfd: Xvfb picks a free display and writes its number once it
        // accepts connections. -noreset: without it the server resets when
        // its last client leaves (a program's display probe, an xdotool
        // query), and a client connecting meanwhile is refused.
        server_ = std::make_unique<ChildProcess>(
            "/usr/bin/Xvfb",
            std::vector<std::string>{"-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", "800x600x24"},
            EnvironmentChanges{}, outputFolder);
        Eventually([&] { return server_->Stdout().find('\n') != std::string::npos || !server_->Running(); });
        const std::string number = server_->Stdout();
        if (!number.empty() && number.back() == '\n') display_ = ":" + number.substr(0, number.size() - 1);
    }
    ~Xvfb() { server_->Kill(SIGTERM); }  // a killed server would leave its lock file behind
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    // ":<n>", or empty when the server did not start.
    const std::string& Display() const { return display_; }

private:
    std::unique_ptr<ChildProcess> server_;
    std::string display_;
};

}  // namespace nerolin::test
