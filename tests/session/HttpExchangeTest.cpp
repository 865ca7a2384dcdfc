#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <future>

#include "../support/TestPki.h"
#include "BuildConfig.h"
#include "session/HttpExchange.h"
#include "SessionTestEnvironment.h"
#include "TestHttpsServer.h"

namespace nerolin::test {
namespace {

const std::set<std::string> kLocalhost{"localhost"};

// The signing service with the development service certificate.
std::unique_ptr<TestHttpsServer> Service(TestHttpsServer::Handler handler, const char* name = "service-localhost")
{
    const TlsServerFiles files = ServiceHost(name);
    return std::make_unique<TestHttpsServer>(files.chainPem, files.privateKeyPem, std::move(handler));
}

std::unique_ptr<TestHttpsServer> WhitelistServer(const char* name, TestHttpsServer::Handler handler)
{
    const TlsServerFiles files = WhitelistHost(name);
    return std::make_unique<TestHttpsServer>(files.chainPem, files.privateKeyPem, std::move(handler));
}

void Answer(httplib::Response& response, int status, const std::string& body, const char* type)
{
    response.status = status;
    response.set_content(body, type);
}

TEST(HttpExchange, PostSendsTheBodyAloneAndReadsJson)
{
    auto server = Service([](const httplib::Request&, httplib::Response& response) {
        Answer(response, 200, R"({"ok":true})", "application/json; charset=utf-8");
    });
    int status = 0;
    std::string body;
    ASSERT_EQ(HttpPostJson(server->Url("/session/1?x=1"), kLocalhost, std::string("{\"a\":1}\0tail", 12), status, body),
              SessionError::Ok);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(body, R"({"ok":true})");
    const auto requests = server->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/session/1?x=1");
    EXPECT_EQ(requests[0].body, "{\"a\":1}");  // up to the first zero byte
    EXPECT_EQ(requests[0].headers.count("Content-Type"), 0u);
    // The build's version in four parts.
    EXPECT_EQ(requests[0].headers.find("User-Agent")->second, std::string("Nerolin ") + build::kVersion + ".0");
}

TEST(HttpExchange, UrlAndWhitelistAreCheckedBeforeAnythingIsSent)
{
    auto server = Service(
        [](const httplib::Request&, httplib::Response& response) { Answer(response, 200, "{}", "application/json"); });
    struct Case {
        std::string url;
        std::set<std::string> whitelist;
        SessionError result;
        std::string entry;
    };
    const std::string port = std::to_string(server->Port());
    const Case cases[] = {
        {"http://localhost:" + port + "/s", kLocalhost, SessionError::InvalidServiceType, "Invalid service type: 3"},
        {"ftp://localhost:" + port + "/s", kLocalhost, SessionError::InvalidServiceType, "Invalid service type: 1"},
        {"gone://localhost/s", kLocalhost, SessionError::InvalidServiceType, "Invalid service type: 4096"},
        {"no url at all", kLocalhost, SessionError::BadUrl, "Failed to parse URL: no url at all"},
        {server->Url("/s"),
         {"LOCALHOST", "127.0.0.1"},
         SessionError::ServerNotAllowed,
         "localhost is not found on the whitelist"},
        {"https://LocalHost:" + port + "/s",
         {"LocalHost"},
         SessionError::ServerNotAllowed,
         "localhost is not found on the whitelist"},
    };
    for (const Case& c : cases) {
        EntryWatch watch;
        int status = 0;
        std::string body;
        EXPECT_EQ(HttpPostJson(c.url, c.whitelist, "{}", status, body), c.result) << c.url;
        EXPECT_EQ(watch.Texts(), std::vector<std::string>{c.entry}) << c.url;
    }
    EXPECT_TRUE(server->Requests().empty());
}

TEST(HttpExchange, EveryAnswerMustBeDeclaredJson)
{
    struct Case {
        int status;
        std::string type;  // empty: no content type at all
        std::string body;
        SessionError result;
        std::string entry;
    };
    const Case cases[] = {
        {202, "application/json", "", SessionError::Ok, ""},
        {420, "application/json", R"({"code":"ERROR"})", SessionError::Ok, ""},
        {200, "APPLICATION/JSON", "{}", SessionError::ConnectionError, "Invalid content type:APPLICATION/JSON"},
        {200, "", "", SessionError::ConnectionError, "Failed to query content type"},
        {404, "text/html", "<html>gone</html>", SessionError::ConnectionError,
         "Invalid content type:text/htmlInvalid content:<html>gone</html>"},
        {200, "image/png", "PNG", SessionError::ConnectionError, "Invalid content type:image/png"},
    };
    for (const Case& c : cases) {
        auto server = Service([&](const httplib::Request&, httplib::Response& response) {
            response.status = c.status;
            if (!c.type.empty()) {
                response.set_content(c.body, c.type.c_str());
            }
        });
        EntryWatch watch;
        int status = 0;
        std::string body;
        EXPECT_EQ(HttpPostJson(server->Url("/s"), kLocalhost, "{}", status, body), c.result) << c.type;
        if (c.result == SessionError::Ok) {
            EXPECT_EQ(status, c.status);
            EXPECT_EQ(body, c.body);
            EXPECT_TRUE(watch.Texts().empty());
        } else {
            EXPECT_EQ(watch.Texts(), std::vector<std::string>{c.entry}) << c.type;
        }
    }
}

TEST(HttpExchange, QuotedPageIsCutAt64KiB)
{
    const std::string page(200 * 1024, 'p');
    auto server = Service(
        [&](const httplib::Request&, httplib::Response& response) { Answer(response, 500, page, "text/plain"); });
    EntryWatch watch;
    int status = 0;
    std::string body;
    EXPECT_EQ(HttpPostJson(server->Url("/s"), kLocalhost, "{}", status, body), SessionError::ConnectionError);
    ASSERT_EQ(watch.Texts().size(), 1u);
    EXPECT_EQ(watch.Texts()[0], "Invalid content type:text/plainInvalid content:" + std::string(64 * 1024, 'p'));
    ReportJsonError(page);
    EXPECT_EQ(watch.Texts().back(), "JSON parse error! JSON: " + std::string(64 * 1024, 'p'));
}

TEST(HttpExchange, OversizedAnswerFailsWithoutFillingMemory)
{
    auto server = Service([](const httplib::Request&, httplib::Response& response) {
        Answer(response, 200, std::string(20 * 1024 * 1024, ' '), "application/json");
    });
    TestPrompts().Clear();
    EntryWatch watch;
    int status = 0;
    std::string body;
    EXPECT_EQ(HttpPostJson(server->Url("/big"), kLocalhost, "{}", status, body), SessionError::ConnectionError);
    EXPECT_EQ(watch.Texts(), std::vector<std::string>{"Response too large"});
    EXPECT_TRUE(body.empty());
    EXPECT_TRUE(TestPrompts().Messages().empty());
}

TEST(HttpExchange, StalledServerIsAbandonedAsATransportFailure)
{
    TestHttpsServer* stalling = nullptr;
    auto server = Service([&](const httplib::Request&, httplib::Response& response) {
        stalling->Stall();
        Answer(response, 200, "{}", "application/json");
    });
    stalling = server.get();
    TestPrompts().Clear();
    EntryWatch watch;
    int status = 0;
    std::string body;
    const std::string url = server->Url("/stall");
    EXPECT_EQ(HttpPostJson(url, kLocalhost, "{}", status, body), SessionError::ConnectionError);
    EXPECT_EQ(watch.Texts(), std::vector<std::string>{"CURLcode: 28 (0x0000001C) - URL: " + url});
    EXPECT_EQ(TestPrompts().Messages(), std::vector<std::string>{"Timeout was reached"});
}

TEST(HttpExchange, ServerThatNeverCompletesTheHandshakeIsGivenUp)
{
    // A socket that listens but never answers: the kernel completes TCP, TLS never starts.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const ExchangeLimits saved = CurrentExchangeLimits();
    ExchangeLimits quick = saved;
    quick.connectTimeout = std::chrono::milliseconds(500);
    quick.idleTimeout = std::chrono::milliseconds(60000);  // only the connect limit may end it
    SetExchangeLimits(quick);
    TestPrompts().Clear();
    EntryWatch watch;
    int status = 0;
    std::string body;
    const std::string url = "https://localhost:" + std::to_string(ntohs(address.sin_port)) + "/s";
    EXPECT_EQ(HttpPostJson(url, kLocalhost, "{}", status, body), SessionError::ConnectionError);
    EXPECT_EQ(watch.Texts(), std::vector<std::string>{"CURLcode: 28 (0x0000001C) - URL: " + url});
    SetExchangeLimits(saved);
    close(listener);
}

TEST(HttpExchange, ExchangesRunOnSeveralThreadsAtOnce)
{
    auto server = Service([](const httplib::Request& request, httplib::Response& response) {
        Answer(response, 200, request.body, "application/json");
    });
    std::vector<std::future<bool>> runs;
    for (int thread = 0; thread < 4; ++thread) {
        runs.push_back(std::async(std::launch::async, [&, thread] {
            bool allGood = true;
            for (int i = 0; i < 5; ++i) {
                const std::string request = "{\"n\":" + std::to_string(thread * 10 + i) + "}";
                int status = 0;
                std::string body;
                allGood = allGood &&
                          HttpPostJson(server->Url("/s"), kLocalhost, request, status, body) == SessionError::Ok &&
                          body == request;
            }
            return allGood;
        }));
    }
    for (auto& run : runs) {
        EXPECT_TRUE(run.get());
    }
}

TEST(HttpExchange, UntrustedServiceCertificateIsTrustedOnlyWhenTheUserSaysSo)
{
    auto server = Service(
        [](const httplib::Request&, httplib::Response& response) { Answer(response, 200, "{}", "application/json"); },
        "service-selfsigned");
    int status = 0;
    std::string body;

    TestPrompts().Clear();
    TestPrompts().QueueTrust(false);
    EntryWatch refused;
    EXPECT_EQ(HttpPostJson(server->Url("/s"), kLocalhost, "{}", status, body), SessionError::ConnectionError);
    ASSERT_EQ(refused.Texts().size(), 1u);
    EXPECT_EQ(refused.Texts()[0], "CURLcode: 60 (0x0000003C) - URL: " + server->Url("/s"));
    auto asked = TestPrompts().Recorded();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].kind, "trust");
    EXPECT_EQ(asked[0].text, "self-signed certificate");
    EXPECT_EQ(asked[1].kind, "message");
    EXPECT_TRUE(server->Requests().empty());

    TestPrompts().Clear();
    TestPrompts().QueueTrust(true);
    EntryWatch accepted;
    EXPECT_EQ(HttpPostJson(server->Url("/s"), kLocalhost, "{}", status, body), SessionError::Ok);
    EXPECT_EQ(status, 200);
    ASSERT_EQ(accepted.Entries().size(), 1u);
    EXPECT_EQ(accepted.Entries()[0].type, EntryType::Warning);
    EXPECT_EQ(server->Requests().size(), 1u);
    EXPECT_EQ(TestPrompts().Recorded().size(), 1u);  // asked once, nothing else shown
}

TEST(HttpExchange, WhitelistHostIsTrustedThroughTheBuiltInRootsAlone)
{
    struct Case {
        const char* host;
        SessionError result;
        std::string lastEntry;
    };
    const Case cases[] = {
        {"host-2848-root2", SessionError::Ok, ""},
        {"host-2866-root3", SessionError::Ok, "SSL/TLS connection: Root certificate is issued by Orvane (prod)!"},
        {"host-wrong-id-root2", SessionError::WhitelistConnectionError, "Invalid server certificate chain"},
        {"host-2848-fake-orvane", SessionError::WhitelistConnectionError, "CURLcode: 60 (0x0000003C)"},
        {"host-2848-other-root", SessionError::WhitelistConnectionError, "CURLcode: 60 (0x0000003C)"},
    };
    // The system trusts the unrelated root too: that must not matter.
    const std::string bundle = TestHome() + "/system-bundle.pem";
    {
        std::ofstream out(bundle);
        for (const char* file : {"service/service-ca.pem", "roots/other-root.pem", "roots/fake-orvane.pem"}) {
            std::ifstream in(PkiPath(file));
            out << in.rdbuf();
        }
    }
    setenv("SSL_CERT_FILE", bundle.c_str(), 1);
    for (const Case& c : cases) {
        auto server = WhitelistServer(c.host, [](const httplib::Request&, httplib::Response& response) {
            Answer(response, 200, R"(["localhost"])", "application/json");
        });
        TestPrompts().Clear();
        EntryWatch watch;
        int status = 0;
        std::string body;
        EXPECT_EQ(HttpGetJson(server->Url("/whitelist/whitelist.json?server=localhost"), status, body), c.result)
            << c.host;
        const auto texts = watch.Texts();
        if (c.lastEntry.empty()) {
            EXPECT_TRUE(texts.empty()) << c.host;
        } else {
            ASSERT_FALSE(texts.empty()) << c.host;
            EXPECT_EQ(texts.back().substr(0, c.lastEntry.size()), c.lastEntry) << c.host;
        }
        if (c.result == SessionError::Ok) {
            EXPECT_EQ(body, R"(["localhost"])");
            EXPECT_EQ(server->Requests().size(), 1u);
        } else if (c.lastEntry.rfind("CURLcode", 0) == 0) {
            EXPECT_TRUE(server->Requests().empty()) << c.host;  // refused in the handshake
        }
    }
    setenv("SSL_CERT_FILE", ServiceCaFile().c_str(), 1);
}

TEST(HttpExchange, ServiceIsNotTrustedThroughTheBuiltInRoots)
{
    // A whitelist-host certificate means nothing to the service exchange.
    auto server = WhitelistServer("host-2848-root2", [](const httplib::Request&, httplib::Response& response) {
        Answer(response, 200, "{}", "application/json");
    });
    TestPrompts().Clear();
    int status = 0;
    std::string body;
    EXPECT_EQ(HttpPostJson(server->Url("/s"), kLocalhost, "{}", status, body), SessionError::ConnectionError);
}

}  // namespace
}  // namespace nerolin::test
