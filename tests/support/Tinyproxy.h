#pragma once

// Debian's tinyproxy on 127.0.0.1 with Basic authentication, in the
// foreground, as the proxy of the proxy tests.

#include <string>

#include <sys/types.h>

namespace nerolin::test {

class Tinyproxy {
public:
    // Its configuration and log go to folder (made when missing).
    Tinyproxy(const std::string& folder, const std::string& user, const std::string& password);
    ~Tinyproxy();
    Tinyproxy(const Tinyproxy&) = delete;
    Tinyproxy& operator=(const Tinyproxy&) = delete;

    bool Running() const { return pid_ > 0; }
    int Port() const { return port_; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // One line per connection it made ("CONNECT localhost:PORT", ...).
    std::string Log() const;

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string logFile_;
};

}  // namespace nerolin::test
