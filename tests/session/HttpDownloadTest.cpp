// The updater's downloads over the session's HTTP layer: redirects on HTTPS
// only, bounded sizes and waits, an abort that ends a stalled transfer, no
// word to the user. Their proxy is tested with the exchanges' (ProxyTest).

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "../support/TestPki.h"
#include "platform/Settings.h"
#include "session/HttpDownload.h"
#include "session/HttpExchange.h"
#include "SessionTestEnvironment.h"
#include "TestHttpsServer.h"

namespace nerolin::test {
namespace {

std::unique_ptr<TestHttpsServer> Server(TestHttpsServer::Handler handler, const char* name = "service-localhost")
{
    const TlsServerFiles files = ServiceHost(name);
    return std::make_unique<TestHttpsServer>(files.chainPem, files.privateKeyPem, std::move(handler));
}

std::string FilePath(const char* name) { return TestHome() + "/" + name; }

TEST(HttpDownload, FollowsRedirectsOnHttpsOnlyAndFailsOnErrorsAndOversizedAnswers)
{
    const std::string feed(1000, 'x');
    TestHttpsServer* self = nullptr;
    auto server = Server([&](const httplib::Request& request, httplib::Response& response) {
        if (request.path == "/feed") {
            response.set_content(feed, "application/rss+xml");
        } else if (request.path == "/moved") {
            response.set_redirect(self->Url("/feed"));
        } else if (request.path == "/to-http") {
            response.set_redirect("http://localhost:" + std::to_string(self->Port()) + "/feed");
        } else {
            response.status = 404;
        }
    });
    self = server.get();
    const std::atomic<bool> never{false};
    struct Case {
        const char* path;
        std::size_t maxSize;
        bool ok;
    };
    const Case cases[] = {
        {"/feed", 1000, true},     {"/moved", 1000, true}, {"/to-http", 1000, false},
        {"/missing", 1000, false}, {"/feed", 999, false},
    };
    TestPrompts().Clear();
    EntryWatch watch;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " max " + std::to_string(c.maxSize));
        std::string body, error;
        EXPECT_EQ(DownloadText(server->Url(c.path), c.maxSize, never, body, error), c.ok) << error;
        if (c.ok) {
            EXPECT_EQ(body, feed);
        } else {
            EXPECT_FALSE(error.empty());
        }

        const std::string path = FilePath("package");
        EXPECT_EQ(DownloadFile(server->Url(c.path), c.maxSize, never, path, error), c.ok) << error;
        // A failed download leaves nothing behind.
        EXPECT_EQ(std::filesystem::exists(path), c.ok);
        std::filesystem::remove(path);
    }
    // The caller words the failure: nothing is shown or logged here.
    EXPECT_TRUE(TestPrompts().Recorded().empty());
    EXPECT_TRUE(watch.Texts().empty());
}

TEST(HttpDownload, AnUntrustedServerIsRefusedWithoutAskingTheUser)
{
    auto server =
        Server([](const httplib::Request&, httplib::Response& response) { response.set_content("x", "text/plain"); },
               "service-selfsigned");
    TestPrompts().Clear();
    TestPrompts().QueueTrust(true);  // would be taken if asked
    const std::atomic<bool> never{false};
    std::string body, error;
    EXPECT_FALSE(DownloadText(server->Url("/feed"), 1000, never, body, error));
    EXPECT_TRUE(TestPrompts().Recorded().empty());
}

TEST(HttpDownload, AStalledTransferEndsOnAbortOrAfterTheIdleWait)
{
    TestHttpsServer* stalling = nullptr;
    auto server = Server([&](const httplib::Request&, httplib::Response&) { stalling->Stall(); });
    stalling = server.get();

    // Abort: the transfer ends once the flag is set, however long the waits.
    const ExchangeLimits saved = CurrentExchangeLimits();
    ExchangeLimits patient = saved;
    patient.idleTimeout = std::chrono::milliseconds(600000);
    SetExchangeLimits(patient);
    std::atomic<bool> abort{false};
    const std::string path = FilePath("stalled");
    std::string error;
    auto download =
        std::async(std::launch::async, [&] { return DownloadFile(server->Url("/package"), 1000, abort, path, error); });
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (server->Requests().empty() && std::chrono::steady_clock::now() < bound) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(server->Requests().empty());
    abort = true;
    ASSERT_EQ(download.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_FALSE(download.get());
    EXPECT_EQ(error, "aborted");
    EXPECT_FALSE(std::filesystem::exists(path));
    SetExchangeLimits(saved);

    // No abort: the idle wait of the exchanges ends it.
    const std::atomic<bool> never{false};
    std::string body;
    EXPECT_FALSE(DownloadText(server->Url("/feed"), 1000, never, body, error));
    EXPECT_EQ(error, "Timeout was reached");
}

}  // namespace
}  // namespace nerolin::test
