#include <gtest/gtest.h>

#include <filesystem>

#include "../support/TestPki.h"
#include "../support/Tinyproxy.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "platform/Settings.h"
#include "session/HttpExchange.h"
#include "SessionTestEnvironment.h"
#include "TestHttpsServer.h"

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

}  // namespace
}  // namespace nerolin::test
