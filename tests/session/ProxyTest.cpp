#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "../support/TestPki.h"
#include "platform/Settings.h"
#include "session/HttpExchange.h"
#include "SessionTestEnvironment.h"
#include "TestHttpsServer.h"

extern char** environ;

namespace nerolin::test {
namespace {

// A free port of 127.0.0.1 for a program that cannot be told to pick one.
int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool Accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// Debian's tinyproxy on 127.0.0.1 with Basic authentication, in the foreground.
class Tinyproxy {
public:
    Tinyproxy(const std::string& user, const std::string& password)
    {
        const std::string dir = TestHome() + "/tinyproxy";
        std::filesystem::create_directories(dir);
        logFile_ = dir + "/tinyproxy.log";
        const std::string config = dir + "/tinyproxy.conf";
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
            for (int i = 0; i < 200; ++i) {
                if (Accepts(port_)) {
                    pid_ = pid;
                    break;
                }
                if (waitpid(pid, nullptr, WNOHANG) == pid) {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    }
    ~Tinyproxy()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool Running() const { return pid_ > 0; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string Log() const
    {
        std::ifstream in(logFile_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string logFile_;
};

void StoreProxySettings(const std::string& url, const std::string& user, const std::string& password)
{
    SettingsKey key = SettingsKey::OpenUser();
    key.WriteText(setting::kProxyUrl, url);
    key.WriteText(setting::kProxyUsername, user);
    WriteProxyPassword(key, false, SecretString(password));
    ASSERT_TRUE(key.Sync());
}

TEST(Proxy, ExchangeGoesThroughTheStoredProxyWithItsCredentials)
{
    Tinyproxy proxy("agent", "s3cret");
    ASSERT_TRUE(proxy.Running()) << "tinyproxy did not start";
    const TlsServerFiles files = ServiceHost("service-localhost");
    TestHttpsServer service(files.chainPem, files.privateKeyPem,
                            [](const httplib::Request&, httplib::Response& response) {
                                response.set_content(R"({"via":"proxy"})", "application/json");
                            });
    const std::set<std::string> whitelist{"localhost"};
    int status = 0;
    std::string body;

    StoreProxySettings(proxy.Url(), "agent", "s3cret");
    EXPECT_EQ(HttpPostJson(service.Url("/s"), whitelist, "{}", status, body), SessionError::Ok);
    EXPECT_EQ(body, R"({"via":"proxy"})");
    EXPECT_NE(proxy.Log().find("localhost:" + std::to_string(service.Port())), std::string::npos) << proxy.Log();

    // A wrong password is refused by the proxy, and the service sees nothing more.
    StoreProxySettings(proxy.Url(), "agent", "wrong");
    TestPrompts().Clear();
    EXPECT_EQ(HttpPostJson(service.Url("/s"), whitelist, "{}", status, body), SessionError::ConnectionError);
    // A stored password without a user name is not sent either.
    StoreProxySettings(proxy.Url(), "", "s3cret");
    EXPECT_EQ(HttpPostJson(service.Url("/s"), whitelist, "{}", status, body), SessionError::ConnectionError);
    EXPECT_EQ(service.Requests().size(), 1u);

    TestSettings().Clear();
}

}  // namespace
}  // namespace nerolin::test
