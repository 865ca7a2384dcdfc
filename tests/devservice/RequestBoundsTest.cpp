// What the reference service reads is bounded: malformed or deeply nested
// bodies get a 400, oversized ones a 413, a client that drips its request is
// cut off; and the service goes on serving everyone else.

#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include "common/OpenSslOwners.h"
#include "tests/support/DevService.h"

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

}  // namespace
}  // namespace nerolin::test
