#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "../support/FreePort.h"
#include "../support/SystemRoots.h"
#include "../support/TestPki.h"
#include "BuildConfig.h"
#include "common/StringTable.h"
#include "session/HttpExchange.h"
#include "session/TrustAnswers.h"
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

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The transport failure's entry: code and URL, then libcurl's own account.
std::string TransportEntry(int code, const std::string& url)
{
    return FormatText("CURLcode: %d (0x%08X) - URL: ", code, static_cast<unsigned>(code)) + url + " - ";
}

// Limits for one test, restored when it ends.
class LimitsScope {
public:
    explicit LimitsScope(const std::function<void(ExchangeLimits&)>& change) : saved_(CurrentExchangeLimits())
    {
        ExchangeLimits limits = saved_;
        change(limits);
        SetExchangeLimits(limits);
    }
    ~LimitsScope() { SetExchangeLimits(saved_); }

private:
    const ExchangeLimits saved_;
};

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
         {"localhost", "LOCALHOST"},
         SessionError::ServerNotAllowed,
         "LocalHost is not found on the whitelist"},
        {"https://localhost:" + port + "/s",
         {"localhost."},
         SessionError::ServerNotAllowed,
         "localhost is not found on the whitelist"},
        {"https://local host:" + port + "/s", kLocalhost, SessionError::BadUrl,
         "Failed to parse URL: https://local host:" + port + "/s"},
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

// The whitelist holds the host exactly as the service URL writes it; a blank
// in the path is no reason to refuse the URL and reaches the service escaped.
TEST(HttpExchange, HostIsLookedUpAsWrittenAndBlanksAreEscaped)
{
    auto server = Service(
        [](const httplib::Request&, httplib::Response& response) { Answer(response, 200, "{}", "application/json"); });
    const std::string base = "https://LocalHost:" + std::to_string(server->Port());
    int status = 0;
    std::string body;
    EXPECT_EQ(HttpPostJson(base + "/a session/1?id=a b", {"LocalHost"}, "{}", status, body), SessionError::Ok);
    const auto requests = server->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/a%20session/1?id=a+b");
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
            // A refused answer adds its status to the entry the exchange always writes.
            std::vector<std::string> expected = {c.entry};
            if (!c.type.empty()) {
                expected.push_back("Answer refused: HTTP status " + std::to_string(c.status) + ", content type \"" +
                                   c.type + "\" from " + server->Url("/s") +
                                   "; every answer must be declared as application/json");
            }
            EXPECT_EQ(watch.Texts(), expected) << c.type;
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
    ASSERT_EQ(watch.Texts().size(), 2u);
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
    ASSERT_EQ(watch.Texts().size(), 1u);
    EXPECT_EQ(watch.Texts()[0], TransportEntry(28, url) + "No byte received for " +
                                    std::to_string(CurrentExchangeLimits().idleTimeout.count()) + " ms");
    // A plain sentence for the user; libcurl's wording stays in the entry.
    EXPECT_EQ(TestPrompts().Messages(), std::vector<std::string>{"The server did not answer in time."});
}

// Answers that come too slowly, never end, stop after the headers or break
// off: each is abandoned by its own bound as a time-out, or reported broken.
TEST(HttpExchange, SlowEndlessAndBrokenAnswersEndTheExchange)
{
    TestHttpsServer* server = nullptr;
    std::atomic<bool> ending{false};
    const auto drip = [&](std::size_t bytes, std::chrono::milliseconds pause) {
        return [&ending, bytes, pause](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "application/json", [&ending, bytes, pause](std::size_t, httplib::DataSink& sink) {
                    std::this_thread::sleep_for(pause);
                    return !ending && sink.write(std::string(bytes, ' ').data(), bytes);
                });
        };
    };
    struct Case {
        const char* name;
        TestHttpsServer::Handler handler;
        std::function<void(ExchangeLimits&)> limits;
        int code;
        std::string detail;  // how libcurl's account of it begins
        std::string message;
    };
    const Case cases[] = {
        // A byte now and then: only the low-speed bound can end it (the idle
        // bound is set out of reach, so that a slow machine changes nothing).
        {"drip", drip(1, std::chrono::milliseconds(200)),
         [](ExchangeLimits& l) {
             l.idleTimeout = std::chrono::hours(1);
             l.lowSpeedLimit = 100;
             l.lowSpeedTime = std::chrono::seconds(1);
         },
         28, "Operation too slow", "The server did not answer in time."},
        // Fast enough, but without end: only the bound on the whole exchange.
        {"endless", drip(256, std::chrono::milliseconds(20)),
         [](ExchangeLimits& l) {
             l.idleTimeout = std::chrono::hours(1);
             l.totalTimeout = std::chrono::milliseconds(1500);
         },
         28, "Operation timed out after", "The server did not answer in time."},
        {"stall after the headers",
         [&](const httplib::Request&, httplib::Response& response) {
             response.set_content_provider(100, "application/json", [&](std::size_t, std::size_t, httplib::DataSink&) {
                 server->Stall();
                 return false;
             });
         },
         [](ExchangeLimits&) {}, 28, "No byte received for ", "The server did not answer in time."},
        {"close mid-body",
         [](const httplib::Request&, httplib::Response& response) {
             response.set_content_provider(1000, "application/json",
                                           [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                               sink.write("{\"a\":", 5);
                                               return false;
                                           });
         },
         [](ExchangeLimits&) {}, 18, "transfer closed with 995 bytes remaining",
         "The connection to the server was broken."},
    };
    for (const Case& c : cases) {
        ending = false;
        auto service = Service(c.handler);
        server = service.get();
        LimitsScope limits(c.limits);
        TestPrompts().Clear();
        EntryWatch watch;
        int status = 0;
        std::string body;
        const std::string url = service->Url("/s");
        EXPECT_EQ(HttpPostJson(url, kLocalhost, "{}", status, body), SessionError::ConnectionError) << c.name;
        ASSERT_EQ(watch.Texts().size(), 1u) << c.name;
        EXPECT_TRUE(StartsWith(watch.Texts()[0], TransportEntry(c.code, url) + c.detail)) << watch.Texts()[0];
        EXPECT_EQ(TestPrompts().Messages(), std::vector<std::string>{c.message}) << c.name;
        ending = true;
    }
}

TEST(HttpExchange, ARedirectIsAnAnswerLikeAnyOtherAndNeverFollowed)
{
    auto elsewhere = Service(
        [](const httplib::Request&, httplib::Response& response) { Answer(response, 200, "{}", "application/json"); });
    const std::string target = "https://127.0.0.1:" + std::to_string(elsewhere->Port()) + "/s";
    auto server = Service([&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(target, 302);
        response.set_content("{}", "application/json");
    });
    int status = 0;
    std::string body;
    EXPECT_EQ(HttpPostJson(server->Url("/s"), {"localhost", "127.0.0.1"}, "{}", status, body), SessionError::Ok);
    EXPECT_EQ(status, 302);
    EXPECT_TRUE(elsewhere->Requests().empty());
}

TEST(HttpExchange, AnAbortEndsTheExchangeInFlightAndShowsNothing)
{
    TestHttpsServer* stalling = nullptr;
    auto server = Service([&](const httplib::Request&, httplib::Response&) { stalling->Stall(); });
    stalling = server.get();
    // Only the abort may end it.
    LimitsScope patient([](ExchangeLimits& l) { l.idleTimeout = std::chrono::hours(1); });
    TestPrompts().Clear();
    EntryWatch watch;
    std::atomic<bool> abort{false};
    const std::string url = server->Url("/state");
    auto exchange = std::async(std::launch::async, [&] {
        int status = 0;
        std::string body;
        return HttpPostJson(url, kLocalhost, "{}", status, body, &abort);
    });
    for (int i = 0; i < 3000 && server->Requests().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(server->Requests().empty());
    abort = true;
    EXPECT_EQ(exchange.get(), SessionError::ConnectionError);
    ASSERT_EQ(watch.Texts().size(), 1u);
    EXPECT_TRUE(StartsWith(watch.Texts()[0], TransportEntry(42, url))) << watch.Texts()[0];
    EXPECT_TRUE(TestPrompts().Recorded().empty());
}

TEST(HttpExchange, ServerThatNeverCompletesTheHandshakeIsGivenUp)
{
    // A socket that listens but never answers: the kernel completes TCP, TLS never starts.
    const SilentListener listener;
    ASSERT_NE(listener.Port(), 0);
    const ExchangeLimits saved = CurrentExchangeLimits();
    ExchangeLimits quick = saved;
    quick.connectTimeout = std::chrono::milliseconds(500);
    quick.idleTimeout = std::chrono::milliseconds(60000);  // only the connect limit may end it
    SetExchangeLimits(quick);
    TestPrompts().Clear();
    EntryWatch watch;
    int status = 0;
    std::string body;
    const std::string url = "https://localhost:" + std::to_string(listener.Port()) + "/s";
    EXPECT_EQ(HttpPostJson(url, kLocalhost, "{}", status, body), SessionError::ConnectionError);
    ASSERT_EQ(watch.Texts().size(), 1u);
    EXPECT_TRUE(StartsWith(watch.Texts()[0], TransportEntry(28, url))) << watch.Texts()[0];
    SetExchangeLimits(saved);
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
    const std::string url = server->Url("/s");

    // No: nothing is sent, and the user's own answer needs no message.
    ForgetTrustAnswers();
    TestPrompts().Clear();
    TestPrompts().QueueTrust(false);
    TestPrompts().QueueTrust(true);  // never used: the answer holds
    EntryWatch refused;
    EXPECT_EQ(HttpPostJson(url, kLocalhost, "{}", status, body), SessionError::ConnectionError);
    EXPECT_EQ(HttpPostJson(url, kLocalhost, "{}", status, body), SessionError::ConnectionError);
    const auto refusedTexts = refused.Texts();
    ASSERT_EQ(refusedTexts.size(), 2u);
    for (const std::string& text : refusedTexts) {
        EXPECT_TRUE(StartsWith(text, "Untrusted server certificate refused by the user: ")) << text;
        EXPECT_NE(text.find("(SHA-256 "), std::string::npos) << text;
        EXPECT_TRUE(text.size() > url.size() && text.substr(text.size() - url.size()) == url) << text;
    }
    auto asked = TestPrompts().Recorded();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, "trust");
    EXPECT_EQ(asked[0].host, "localhost");
    EXPECT_EQ(asked[0].text, "self-signed certificate");
    EXPECT_TRUE(server->Requests().empty());

    // Yes: that certificate is trusted for this host from now on.
    ForgetTrustAnswers();
    TestPrompts().Clear();
    TestPrompts().QueueTrust(true);
    EntryWatch accepted;
    EXPECT_EQ(HttpPostJson(url, kLocalhost, "{}", status, body), SessionError::Ok);
    EXPECT_EQ(HttpPostJson(url, kLocalhost, "{}", status, body), SessionError::Ok);
    EXPECT_EQ(status, 200);
    ASSERT_EQ(accepted.Entries().size(), 1u);
    EXPECT_EQ(accepted.Entries()[0].type, EntryType::Warning);
    EXPECT_EQ(server->Requests().size(), 2u);
    EXPECT_EQ(TestPrompts().Recorded().size(), 1u);  // asked once, nothing else shown

    // Only for that host: by its address the same certificate is asked about afresh.
    TestPrompts().Clear();
    const std::string byAddress = "https://127.0.0.1:" + std::to_string(server->Port()) + "/s";
    EXPECT_EQ(HttpPostJson(byAddress, {"127.0.0.1"}, "{}", status, body), SessionError::ConnectionError);
    asked = TestPrompts().Recorded();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].host, "127.0.0.1");
    ForgetTrustAnswers();
}

TEST(HttpExchange, WhitelistHostIsTrustedThroughTheBuiltInRootsAlone)
{
    struct Case {
        const char* host;
        bool withRoot;  // the server presents its root too
        SessionError result;
        std::vector<std::string> entries;
        bool refusedInHandshake;
    };
    const std::string notTavorel =
        "SSL/TLS connection: Root certificate is not issued by Tavorel! Subject DN of "
        "certificate: ";
    const Case cases[] = {
        {"host-2848-root2", false, SessionError::Ok, {}, false},
        {"host-2866-root3",
         false,
         SessionError::Ok,
         {"SSL/TLS connection: Root certificate is issued by Orvane (prod)!"},
         false},
        {"host-wrong-id-root2",
         false,
         SessionError::WhitelistConnectionError,
         {"SSL/TLS connection: End certificate is not issued to Tavorel! Subject DN of certificate: "
          "1.3.6.1.4.1.32473.2.3.2.2849",
          "Invalid server certificate chain"},
         false},
        // Chains that the built-in roots refuse in the handshake still get the
        // trust test, on the chain as presented, so the entry names its top.
        {"host-2848-fake-orvane",
         false,
         SessionError::WhitelistConnectionError,
         {notTavorel + "Nerolin Test Whitelist CA 3", "Invalid server certificate chain"},
         true},
        {"host-2848-fake-orvane",
         true,
         SessionError::WhitelistConnectionError,
         {notTavorel + "Orvane Administration CA 2022", "Invalid server certificate chain"},
         true},
        {"host-2848-other-root",
         true,
         SessionError::WhitelistConnectionError,
         {notTavorel + "Nerolin Test Unrelated Root CA", "Invalid server certificate chain"},
         true},
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
    const ScopedSystemRoots systemRoots(bundle);
    for (const Case& c : cases) {
        const TlsServerFiles files = WhitelistHost(c.host);
        const std::string chain =
            c.withRoot ? PkiPath(std::string("whitelist/") + c.host + ".fullchain.pem") : files.chainPem;
        auto server = std::make_unique<TestHttpsServer>(
            chain, files.privateKeyPem, [](const httplib::Request&, httplib::Response& response) {
                Answer(response, 200, R"(["localhost"])", "application/json");
            });
        TestPrompts().Clear();
        EntryWatch watch;
        int status = 0;
        std::string body;
        EXPECT_EQ(HttpGetJson(server->Url("/whitelist/whitelist.json?server=localhost"), status, body), c.result)
            << c.host << c.withRoot;
        EXPECT_EQ(watch.Texts(), c.entries) << c.host << c.withRoot;
        if (c.result == SessionError::Ok) {
            EXPECT_EQ(body, R"(["localhost"])");
            EXPECT_EQ(server->Requests().size(), 1u);
        }
        if (c.refusedInHandshake) {
            EXPECT_TRUE(server->Requests().empty()) << c.host << c.withRoot;
        }
        EXPECT_TRUE(TestPrompts().Recorded().empty()) << c.host << c.withRoot;  // message 146 is the caller's
    }
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
