// What the reference service reads is bounded: malformed or deeply nested
// bodies get a 400, oversized ones a 413, a client that drips its request or
// floods it with headers is cut off, what a session records stays bounded;
// and the service goes on serving everyone else, dawdling clients or not.

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <rapidjson/document.h>

#include "common/OpenSslOwners.h"
#include "tests/support/DevService.h"
#include "tools/devservice/SessionStore.h"
#include "tools/devservice/TlsServer.h"

namespace nerolin::test {
namespace {

using SslContextPtr = OpenSslPtr<SSL_CTX, SSL_CTX_free>;
using SslPtr = OpenSslPtr<SSL, SSL_free>;

// A TLS connection to 127.0.0.1:port that writes what it is told, when told.
class RawTlsClient {
public:
    explicit RawTlsClient(int port) : context_(SSL_CTX_new(TLS_client_method()))
    {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (!context_ || socket_ < 0 || ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        ssl_.reset(SSL_new(context_.get()));  // the certificate is not checked: the service's side is tested
        SSL_set_fd(ssl_.get(), socket_);
        connected_ = SSL_connect(ssl_.get()) == 1;
    }
    ~RawTlsClient()
    {
        ssl_.reset();
        if (socket_ >= 0) ::close(socket_);
    }

    bool Connected() const { return connected_; }
    bool Write(const std::string& text)
    {
        return SSL_write(ssl_.get(), text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
    }
    // True when the server has closed the connection (or it broke); waits at most the pause.
    bool ClosedByServer(int pauseMilliseconds)
    {
        pollfd readable{socket_, POLLIN, 0};
        if (::poll(&readable, 1, pauseMilliseconds) <= 0) return false;
        char byte = 0;
        return SSL_read(ssl_.get(), &byte, 1) <= 0;
    }

    // False once the server has closed the connection; does not wait, and
    // reads nothing (a session ticket may be waiting to be read).
    bool Open()
    {
        pollfd hangup{socket_, POLLRDHUP, 0};
        return connected_ && ::poll(&hangup, 1, 0) == 0;
    }

private:
    SslContextPtr context_;
    SslPtr ssl_;
    int socket_ = -1;
    bool connected_ = false;
};

TEST(RequestBounds, MalformedDeepAndOversizedBodiesAreRefusedAndTheServiceGoesOn)
{
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    const auto session = service.CreateSession();
    ASSERT_TRUE(session);
    const std::string path = "/sessions/" + session->sessionId;
    struct Case {
        std::string path;
        std::string body;
        int status;
    };
    const Case cases[] = {
        {path, std::string(1 << 20, '['), 400},
        {path, "{\"sessionId\":" + std::string(1 << 20, '{'), 400},
        {path, "[{", 400},
        {path, std::string("{\"sessionId\":\"x\"}\0{}", 20), 400},
        {"/admin/sessions", std::string(1 << 20, '['), 400},
        {"/admin/sessions/" + session->sessionId + "/faults", std::string(1 << 20, '['), 400},
        {path, std::string((16u << 20) + 1, ' '), 413},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(service.Call("POST", c.path, c.body).status, c.status) << c.path << " " << c.body.substr(0, 20);
    }
    // Still serving: the session's configuration comes as if nothing happened.
    const auto config = service.Call("POST", path, "{\"sessionId\":\"" + session->sessionId + "\",\"cancel\":false}");
    EXPECT_EQ(config.status, 200) << config.body;
    EXPECT_NE(config.body.find("\"version\":\"1\""), std::string::npos) << config.body;
}

TEST(RequestBounds, AClientDrippingItsRequestIsCutOffAndOthersAreServed)
{
    ::signal(SIGPIPE, SIG_IGN);  // writes to the cut connection must not end the test
    DevService::Settings settings;
    settings.extraArguments = {"--request-seconds", "1"};
    DevService service(settings);
    ASSERT_TRUE(service.Running()) << service.Log();

    RawTlsClient dripping(service.ServicePort());
    ASSERT_TRUE(dripping.Connected());
    ASSERT_TRUE(dripping.Write("POST /admin/sessions HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Drip: "));
    // A byte every 100 ms keeps httplib's wait for the next byte from ever
    // running out; only the request's deadline ends it. 600 bytes is a minute.
    bool cut = false;
    for (int i = 0; i < 600 && !cut; ++i) {
        cut = !dripping.Write("x") || dripping.ClosedByServer(100);
    }
    EXPECT_TRUE(cut);
    EXPECT_TRUE(service.CreateSession().has_value());
}

// The resident memory of a process, in MiB (0 when unreadable).
long ResidentMiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6) / 1024;
    }
    return 0;
}

// Under AddressSanitizer freed memory waits in a quarantine of up to 256 MiB
// before it is used again, which would read as growth: the service started
// by the memory tests keeps none. Other builds ignore the variable.
void NoFreedMemoryQuarantine()
{
    const char* options = std::getenv("ASAN_OPTIONS");
    const std::string joined = std::string(options != nullptr ? options : "") + ":quarantine_size_mb=0";
    ::setenv("ASAN_OPTIONS", joined.c_str(), 1);
}

TEST(RequestBounds, AHeaderFloodIsCutAndTheServiceMemoryStaysBounded)
{
    ::signal(SIGPIPE, SIG_IGN);
    NoFreedMemoryQuarantine();
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    const long before = ResidentMiB(service.Pid());

    RawTlsClient flood(service.ServicePort());
    ASSERT_TRUE(flood.Connected());
    ASSERT_TRUE(flood.Write("POST /admin/sessions HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
    const std::string line = "X-Flood: " + std::string(8000, 'a') + "\r\n";
    // Without a bound the service takes headers until the request's deadline,
    // hundreds of MiB; with one it cuts the connection past the largest request.
    const std::size_t ceiling = 4 * devservice::kMaxRequestSize;
    std::size_t sent = 0;
    while (sent < ceiling && flood.Write(line)) sent += line.size();
    EXPECT_LT(sent, ceiling);
    EXPECT_LT(ResidentMiB(service.Pid()) - before, 96) << "from " << before << " MiB";
    EXPECT_TRUE(service.CreateSession().has_value());
}

TEST(RequestBounds, ASessionKeepsOnlyItsLastRequestsWithTheirBodiesCut)
{
    NoFreedMemoryQuarantine();
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    const auto session = service.CreateSession();
    ASSERT_TRUE(session);
    const long before = ResidentMiB(service.Pid());

    // A client posting 60 KB to one session over and over, from four connections at a time.
    const std::string body =
        "{\"sessionId\":\"" + session->sessionId + "\",\"cancel\":false,\"pad\":\"" + std::string(60000, 'p') + "\"}";
    constexpr int kThreads = 4, kEach = 250;
    std::atomic<int> answered{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < kEach; ++i)
                answered += service.Call("POST", "/sessions/" + session->sessionId, body).status == 200;
        });
    }
    for (auto& poster : posters) poster.join();
    ASSERT_EQ(answered, kThreads * kEach);
    EXPECT_LT(ResidentMiB(service.Pid()) - before, 32) << "from " << before << " MiB";

    rapidjson::Document report;
    report.Parse(service.SessionReport(session->sessionId).value_or("").c_str());
    ASSERT_TRUE(report.IsObject() && report.HasMember("requests") && report.HasMember("requestsDropped"));
    const auto& requests = report["requests"];
    EXPECT_EQ(requests.Size(), devservice::RequestRecord::kKept);
    EXPECT_EQ(report["requestsDropped"].GetUint64() + requests.Size(), std::size_t{kThreads * kEach});
    for (const auto& request : requests.GetArray()) {
        EXPECT_EQ(request["body"].GetStringLength(), devservice::RequestRecord::kBodyLimit);
        EXPECT_EQ(request["status"].GetInt(), 200);
    }
    // A body in bad JSON repeated on every request is one violation, not one per request.
    EXPECT_LE(report["violations"].Size(), 2u);
}

TEST(RequestBounds, ClientsDrippingTheirRequestsDoNotKeepAPromptOneWaiting)
{
    ::signal(SIGPIPE, SIG_IGN);
    DevService::Settings settings;
    settings.extraArguments = {"--request-seconds", "90"};  // the slow clients outlast the test
    DevService service(settings);
    ASSERT_TRUE(service.Running()) << service.Log();

    // Each slow client sends a byte a second, often enough that httplib's
    // wait for the next byte never runs out: only the deadline would end them.
    constexpr int kSlow = 40;
    std::mutex mutex;
    std::condition_variable changed;
    int connected = 0;
    bool stop = false;
    std::vector<std::unique_ptr<RawTlsClient>> clients(kSlow);
    std::vector<std::thread> slow;
    for (int i = 0; i < kSlow; ++i) {
        slow.emplace_back([&, i] {
            auto owned = std::make_unique<RawTlsClient>(service.ServicePort());
            RawTlsClient& client = *owned;
            bool writing = client.Connected() && client.Write("POST /admin/sessions HTTP/1.1\r\nX-Slow: ");
            std::unique_lock lock(mutex);
            clients[i] = std::move(owned);
            connected += writing;
            changed.notify_all();
            while (writing && !changed.wait_for(lock, std::chrono::seconds(1), [&] { return stop; })) {
                lock.unlock();
                writing = client.Write("s");
                lock.lock();
            }
        });
    }
    {
        std::unique_lock lock(mutex);
        // A generous bound: every slow client has its connection well before.
        changed.wait_for(lock, std::chrono::seconds(20), [&] { return connected == kSlow; });
        EXPECT_EQ(connected, kSlow);
    }
    // The prompt client is served while every slow one still holds its connection.
    EXPECT_TRUE(service.CreateSession().has_value());
    {
        std::lock_guard lock(mutex);
        int open = 0;
        for (auto& client : clients) open += client && client->Open();
        EXPECT_EQ(open, kSlow);
        stop = true;
    }
    changed.notify_all();
    for (auto& thread : slow) thread.join();
}

}  // namespace
}  // namespace nerolin::test
