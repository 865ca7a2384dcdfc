#include "tests/providers/pcsc/PrivatePcscd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kVpcdDriver[] = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so";

std::string Which(const std::string& program)
{
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) {
        const std::string path = std::string(dir) + "/" + program;
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

// Binds a TCP socket to port (0: any free one) of every address; -1 when
// the port is taken.
int BoundSocket(unsigned short port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

// A port that is free now together with the next one: vpcd listens on both,
// one per reader. The second must be checked too; a port of the ephemeral
// range is often followed by one that another connection holds.
unsigned short FreePortPair()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int first = BoundSocket(0);
        if (first < 0) continue;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        getsockname(first, reinterpret_cast<sockaddr*>(&address), &length);
        const unsigned short port = ntohs(address.sin_port);
        const int second = port > 1024 && port < 65535 ? BoundSocket(port + 1) : -1;
        close(first);
        if (second >= 0) {
            close(second);
            return port;
        }
    }
    return 0;
}

}  // namespace

TempFolder::TempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "nerolin-pcsc-XXXXXX").string();
    if (mkdtemp(pattern.data())) path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
}

Child::Child(const std::vector<std::string>& argv, const fs::path& log, const std::vector<std::string>& env)
{
    // Everything allocated before fork: the test has threads.
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> environment = env;
    for (char** variable = environ; *variable; ++variable) environment.emplace_back(*variable);
    std::vector<char*> envp;
    for (std::string& word : environment) envp.push_back(word.data());
    envp.push_back(nullptr);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_ = fork();
    if (pid_ != 0) {
        if (out >= 0) close(out);
        return;
    }
    setpgid(0, 0);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
    execve(args[0], args.data(), envp.data());
    _exit(127);
}

Child::~Child()
{
    if (pid_ <= 0) return;
    kill(-pid_, SIGTERM);
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100 && !Exited(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!Exited()) {
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool Child::Exited()
{
    if (exited_) return true;
    exited_ = waitpid(pid_, &status_, WNOHANG) == pid_;
    return exited_;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

PrivatePcscd::PrivatePcscd()
{
    const std::string pcscd = Which("pcscd");
    const std::string unshare = Which("unshare");
    if (pcscd.empty()) {
        unavailable_ = "pcscd is not installed (package pcscd)";
        return;
    }
    if (access(kVpcdDriver, R_OK) != 0) {
        unavailable_ = "vpcd is not installed (package vsmartcard-vpcd)";
        return;
    }
    if (unshare.empty()) {
        unavailable_ = "unshare is not installed (package util-linux)";
        return;
    }
    isolate_ = {unshare, "--mount"};
    if (geteuid() != 0) isolate_ = {unshare, "--user", "--map-root-user", "--mount"};
    std::vector<std::string> probe = isolate_;
    probe.insert(probe.end(), {"/bin/sh", "-c", "mount --bind \"$1\" /run", "sh", temp_.path.string()});
    Child child(probe, temp_.path / "probe.log");
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (child.Started() && !child.Exited() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!child.Started() || !child.Exited() || !WIFEXITED(child.Status()) || WEXITSTATUS(child.Status()) != 0)
        unavailable_ = "no private mount namespace for pcscd here: " + ReadAll(temp_.path / "probe.log");
    pcscd_ = pcscd;
}

PrivatePcscd::~PrivatePcscd() = default;

bool PrivatePcscd::Start()
{
    if (!unavailable_.empty() || temp_.path.empty()) return false;
    const fs::path run = temp_.path / "run";
    const fs::path conf = temp_.path / "reader.conf.d";
    fs::create_directories(run);
    fs::create_directories(conf);
    port_ = FreePortPair();
    if (port_ == 0) return false;
    std::ofstream(conf / "vpcd") << "FRIENDLYNAME \"Virtual PCD\"\nDEVICENAME /dev/null:" << port_ << "\nLIBPATH "
                                 << kVpcdDriver << "\nCHANNELID " << port_ << "\n";
    setenv("PCSCLITE_CSOCK_NAME", (run / "pcscd" / "pcscd.comm").c_str(), 1);

    std::vector<std::string> daemon = isolate_;
    daemon.insert(daemon.end(),
                  {"/bin/sh", "-c", "mount --bind \"$1\" /run && exec \"$2\" --foreground --debug -c \"$3\"", "sh",
                   run.string(), pcscd_, conf.string()});
    daemon_ = std::make_unique<Child>(daemon, temp_.path / "pcscd.log");
    return daemon_->Started();
}

}  // namespace nerolin::test
