#pragma once

// Debian's tinyproxy on 127.0.0.1 with Basic authentication, as the proxy
// of the proxy tests. On Linux each object starts its own, in the
// foreground; a Windows test program under Wine cannot start a Linux
// program, so there ctest starts one for the run (the fixture
// tests/support/tinyproxy-fixture) and the object finds it through
// NEROLIN_TINYPROXY_DIR.

#include <string>

namespace nerolin::test {

class Tinyproxy {
public:
    // Its configuration and log go to folder (made when missing). The
    // fixture's proxy counts as running only for its own user and password.
    Tinyproxy(const std::string& folder, const std::string& user, const std::string& password);
    ~Tinyproxy();
    Tinyproxy(const Tinyproxy&) = delete;
    Tinyproxy& operator=(const Tinyproxy&) = delete;

    bool Running() const { return running_; }
    int Port() const { return port_; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // One line per connection it made ("CONNECT localhost:PORT", ...).
    std::string Log() const;

private:
    int pid_ = -1;  // Linux: the process of this object's own
    bool running_ = false;
    int port_ = 0;
    std::string logFile_;
};

}  // namespace nerolin::test
