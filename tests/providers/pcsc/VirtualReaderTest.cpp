// Reads the ATR of a card in vpcd's virtual reader through a pcscd of the
// test's own, and names the card from the machine-wide card database.
//
// pcscd 1.9 ignores PCSCLITE_CSOCK_NAME and always serves /run/pcscd, so it
// runs in a mount namespace of its own with a temporary folder over /run:
// the system's pcscd is never touched, and the client reaches the private
// socket through that folder. The card is a small stand-in that speaks
// vpcd's socket protocol (2-byte big-endian length, then a one-byte control
// or an APDU): the Python emulator Debian ships does not start without
// extra modules, and the stand-in lets the test choose the ATR.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/Text.h"
#include "providers/SmartCardName.h"
#include "tests/support/MemorySettingsStore.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kVpcdDriver[] = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so";
constexpr char kReader[] = "Virtual PCD 00 00";
const Bytes kAtr{0x3B, 0x8A, 0x80, 0x01, 0x4E, 0x65, 0x72, 0x6F, 0x6C, 0x69, 0x6E, 0x20, 0x56, 0x43, 0x5F};

std::string Which(const std::string& program)
{
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) {
        const std::string path = std::string(dir) + "/" + program;
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

struct TempFolder {
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "nerolin-pcsc-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    fs::path path;
};

// A child process in its own process group, ended (the whole group) when
// the owner goes, on every path out of the test.
class Child {
public:
    Child(const std::vector<std::string>& argv, const fs::path& log)
    {
        // Everything allocated before fork: the test has threads.
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
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
        execv(args[0], args.data());
        _exit(127);
    }
    ~Child()
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
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    bool Exited()
    {
        if (exited_) return true;
        exited_ = waitpid(pid_, &status_, WNOHANG) == pid_;
        return exited_;
    }
    int Status() const { return status_; }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
};

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

bool ReadExactly(int fd, std::uint8_t* data, std::size_t size, const std::atomic<bool>& stop)
{
    std::size_t done = 0;
    while (done < size && !stop) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        const ssize_t got = recv(fd, data + done, size - done, 0);
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return done == size;
}

bool Send(int fd, const Bytes& payload)
{
    Bytes message{static_cast<std::uint8_t>(payload.size() >> 8), static_cast<std::uint8_t>(payload.size())};
    message.insert(message.end(), payload.begin(), payload.end());
    return send(fd, message.data(), message.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(message.size());
}

// The card: connects to vpcd (retrying until vpcd listens), answers GET_ATR
// with kAtr and every APDU with 6D00 (instruction not supported).
class VirtualCard {
public:
    explicit VirtualCard(unsigned short port) : thread_([this, port] { Run(port); }) {}
    ~VirtualCard()
    {
        stop_ = true;
        thread_.join();
    }
    VirtualCard(const VirtualCard&) = delete;
    VirtualCard& operator=(const VirtualCard&) = delete;
    bool Connected() const { return connected_; }

private:
    void Run(unsigned short port)
    {
        int fd = -1;
        while (!stop_) {
            fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
            close(fd);
            fd = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (fd < 0) return;
        connected_ = true;
        while (!stop_) {
            std::uint8_t header[2];
            if (!ReadExactly(fd, header, 2, stop_)) break;
            Bytes request(static_cast<std::size_t>(header[0]) << 8 | header[1]);
            if (!ReadExactly(fd, request.data(), request.size(), stop_)) break;
            if (request.size() == 1) {
                // 0 power off, 1 power on, 2 reset: no answer; 4 the ATR.
                if (request[0] == 4 && !Send(fd, kAtr)) break;
            } else if (!Send(fd, {0x6D, 0x00})) {
                break;
            }
        }
        close(fd);
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> connected_{false};
    std::thread thread_;
};

TEST(VirtualReaderTest, ReadsTheCardsAtrAndNamesItFromTheMachineDatabase)
{
    const std::string pcscd = Which("pcscd");
    const std::string unshare = Which("unshare");
    if (pcscd.empty()) GTEST_SKIP() << "pcscd is not installed (package pcscd)";
    if (access(kVpcdDriver, R_OK) != 0) GTEST_SKIP() << "vpcd is not installed (package vsmartcard-vpcd)";
    if (unshare.empty()) GTEST_SKIP() << "unshare is not installed (package util-linux)";
    // Root may make a mount namespace directly; anyone else needs a user
    // namespace, which some systems forbid.
    std::vector<std::string> isolate{unshare, "--mount"};
    if (geteuid() != 0) isolate = {unshare, "--user", "--map-root-user", "--mount"};
    {
        std::vector<std::string> probe = isolate;
        TempFolder folder;
        probe.insert(probe.end(), {"/bin/sh", "-c", "mount --bind \"$1\" /run", "sh", folder.path.string()});
        Child child(probe, folder.path / "probe.log");
        ASSERT_TRUE(child.Started());
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!child.Exited() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!child.Exited() || !WIFEXITED(child.Status()) || WEXITSTATUS(child.Status()) != 0)
            GTEST_SKIP() << "no private mount namespace for pcscd here: " << ReadAll(folder.path / "probe.log");
    }

    TempFolder temp;
    ASSERT_FALSE(temp.path.empty());
    const fs::path run = temp.path / "run";
    const fs::path conf = temp.path / "reader.conf.d";
    fs::create_directories(run);
    fs::create_directories(conf);

    const unsigned short port = FreePortPair();
    ASSERT_NE(port, 0);
    std::ofstream(conf / "vpcd") << "FRIENDLYNAME \"Virtual PCD\"\nDEVICENAME /dev/null:" << port << "\nLIBPATH "
                                 << kVpcdDriver << "\nCHANNELID " << port << "\n";
    const std::string atrHex = HexEncode(kAtr);
    auto settings = InstallMemorySettingsStore();
    settings->Set(Scope::Machine, "SmartCards", "Card1",
                  atrHex + " " + std::string(atrHex.size(), 'F') + " Nerolin Virtual Card");
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) setenv(name, temp.path.c_str(), 1);
    setenv("PCSCLITE_CSOCK_NAME", (run / "pcscd" / "pcscd.comm").c_str(), 1);

    std::vector<std::string> daemon = isolate;
    daemon.insert(daemon.end(),
                  {"/bin/sh", "-c", "mount --bind \"$1\" /run && exec \"$2\" --foreground --debug -c \"$3\"", "sh",
                   run.string(), pcscd, conf.string()});
    Child pcscdProcess(daemon, temp.path / "pcscd.log");
    ASSERT_TRUE(pcscdProcess.Started());
    VirtualCard card(port);

    Bytes atr;
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (atr.empty() && Clock::now() < deadline && !pcscdProcess.Exited()) {
        atr = ReadCardAtr(kReader);
        if (atr.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const auto readers = ListReaders();
    std::string seen = readers ? std::to_string(readers->size()) + " reader(s):" : std::string("no PC/SC service");
    if (readers)
        for (const std::string& reader : *readers) seen += " [" + reader + "]";
    ASSERT_EQ(HexEncode(atr), atrHex) << "card connected: " << card.Connected() << "; " << seen << "\npcscd log:\n"
                                      << ReadAll(temp.path / "pcscd.log");

    EXPECT_EQ(GetCardName(kReader), "Nerolin Virtual Card");
    EXPECT_EQ(GetCardName("Virtual PCD 00 01"), "");  // vpcd's second reader, no card in it
}

}  // namespace
}  // namespace nerolin::test
