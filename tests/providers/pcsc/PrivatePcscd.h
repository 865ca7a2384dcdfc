#pragma once

// A pcscd of the test's own with vpcd's two virtual readers, for tests that
// put a virtual card in the first one.
//
// pcscd 1.9 ignores PCSCLITE_CSOCK_NAME and always serves /run/pcscd, so it
// runs in a mount namespace of its own with a temporary folder over /run:
// the system's pcscd is never touched, and clients of this process (and its
// children) reach the private socket through that folder, as Start points
// PCSCLITE_CSOCK_NAME there. Root may make a mount namespace directly;
// anyone else needs a user namespace, which some systems forbid: then the
// test skips.

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace nerolin::test {

struct TempFolder {
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::filesystem::path path;
};

// A child process in its own process group, ended (the whole group) when
// the owner goes, on every path out of the test.
class Child {
public:
    // env: "NAME=value" words added to this process's environment.
    Child(const std::vector<std::string>& argv, const std::filesystem::path& log,
          const std::vector<std::string>& env = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    bool Exited();
    int Status() const { return status_; }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
};

std::string ReadAll(const std::filesystem::path& path);

class PrivatePcscd {
public:
    static constexpr const char* kReader = "Virtual PCD 00 00";  // the first of vpcd's readers
    static constexpr const char* kSecondReader = "Virtual PCD 00 01";

    PrivatePcscd();
    ~PrivatePcscd();
    PrivatePcscd(const PrivatePcscd&) = delete;
    PrivatePcscd& operator=(const PrivatePcscd&) = delete;

    // Empty when pcscd can run here; otherwise why not (the test skips).
    std::string Unavailable() const { return unavailable_; }

    // Starts pcscd; the card connects to 127.0.0.1:port(). false with the
    // reason in Log() when it does not start.
    bool Start();
    unsigned short port() const { return port_; }
    const std::filesystem::path& folder() const { return temp_.path; }
    std::string Log() const { return ReadAll(temp_.path / "pcscd.log"); }
    bool Exited() { return daemon_ && daemon_->Exited(); }

private:
    std::string unavailable_;
    std::vector<std::string> isolate_;  // the command that enters a mount namespace of its own
    std::string pcscd_;
    TempFolder temp_;
    unsigned short port_ = 0;
    std::unique_ptr<Child> daemon_;
};

}  // namespace nerolin::test
