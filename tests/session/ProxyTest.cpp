#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>

#include "../support/TestPki.h"
#include "../support/Tinyproxy.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "platform/Settings.h"
#include "session/HttpDownload.h"
#include "session/HttpExchange.h"
#include "SessionTestEnvironment.h"
#include "TestHttpsServer.h"
#include "tests/support/Portable.h"

namespace nerolin::test {
namespace {

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
    Tinyproxy proxy(TestHome() + "/tinyproxy", "agent", "s3cret");
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

    // The forms written on Windows machines reach the same proxy.
    const std::string address = "127.0.0.1:" + std::to_string(proxy.Port());
    for (const std::string& form : {address, "http=127.0.0.1:9;https=" + address, "https=" + address}) {
        StoreProxySettings(form, "agent", "s3cret");
        body.clear();
        EXPECT_EQ(HttpPostJson(service.Url("/s"), whitelist, "{}", status, body), SessionError::Ok) << form;
        EXPECT_EQ(body, R"({"via":"proxy"})") << form;
    }
    ASSERT_EQ(service.Requests().size(), 4u);

    // A wrong password is refused by the proxy, and the service sees nothing more.
    StoreProxySettings(proxy.Url(), "agent", "wrong");
    TestPrompts().Clear();
    EXPECT_EQ(HttpPostJson(service.Url("/s"), whitelist, "{}", status, body), SessionError::ConnectionError);
    // The user reads what to correct, not a broken connection.
    EXPECT_EQ(TestPrompts().Messages(), std::vector<std::string>{LoadString(strings::kProxyCredentialsRefused)});
    // A stored password without a user name is not sent either.
    StoreProxySettings(proxy.Url(), "", "s3cret");
    EXPECT_EQ(HttpPostJson(service.Url("/s"), whitelist, "{}", status, body), SessionError::ConnectionError);
    EXPECT_EQ(service.Requests().size(), 4u);

    TestSettings().Clear();
}

// The updater's downloads take the same proxy as the exchanges.
TEST(HttpDownload, UsesTheStoredProxyAndItsCredentialsAsTheExchangesDo)
{
    Tinyproxy proxy(TestHome() + "/tinyproxy-download", "agent", "s3cret");
    ASSERT_TRUE(proxy.Running()) << "tinyproxy did not start";
    const TlsServerFiles files = ServiceHost("service-localhost");
    auto server = std::make_unique<TestHttpsServer>(files.chainPem, files.privateKeyPem,
                                                    [](const httplib::Request&, httplib::Response& response) {
                                                        response.set_content("feed", "application/rss+xml");
                                                    });
    const std::atomic<bool> never{false};
    const auto store = [](const std::string& url, const std::string& user, const std::string& password) {
        SettingsKey key = SettingsKey::OpenUser();
        key.WriteText(setting::kProxyUrl, url);
        key.WriteText(setting::kProxyUsername, user);
        WriteProxyPassword(key, false, SecretString(password));
        return key.Sync();
    };
    struct Case {
        const char* name;
        bool storedUrl;  // else the proxy comes from https_proxy, with an empty stored URL
        const char* password;
        bool ok;
    };
    const Case cases[] = {
        {"stored proxy", true, "s3cret", true},
        {"proxy of the environment, stored credentials", false, "s3cret", true},
        {"wrong password", true, "wrong", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store(c.storedUrl ? proxy.Url() : "", "agent", c.password));
        if (!c.storedUrl) {
            test::SetEnvironment("https_proxy", proxy.Url().c_str());
            test::SetEnvironment("no_proxy", nullptr);
            test::SetEnvironment("NO_PROXY", nullptr);
        }
        std::string body, error;
        const std::size_t before = server->Requests().size();
        EXPECT_EQ(DownloadText(server->Url("/appcast.xml"), 1000, never, body, error), c.ok) << error;
        EXPECT_EQ(server->Requests().size(), before + (c.ok ? 1 : 0));
        test::SetEnvironment("https_proxy", nullptr);
    }
    EXPECT_NE(proxy.Log().find("localhost:" + std::to_string(server->Port())), std::string::npos) << proxy.Log();
    TestSettings().Clear();
}

}  // namespace
}  // namespace nerolin::test
