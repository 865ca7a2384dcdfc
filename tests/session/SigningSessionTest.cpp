#include <gtest/gtest.h>

#include <map>

#include "../support/TestPki.h"
#include "platform/Settings.h"
#include "session/SigningSession.h"
#include "session/TrustAnswers.h"
#include "SessionTestEnvironment.h"
#include "TestHttpsServer.h"
#include "tests/support/Portable.h"

namespace nerolin::test {
namespace {

struct Reply {
    int status = 200;
    std::string body;
};

// A signing service whose answer to each path the test sets.
class ScriptedService {
public:
    explicit ScriptedService(const char* certificate = "service-localhost")
    {
        const TlsServerFiles files = ServiceHost(certificate);
        server_ = std::make_unique<TestHttpsServer>(
            files.chainPem, files.privateKeyPem, [this](const httplib::Request& request, httplib::Response& response) {
                std::lock_guard lock(mutex_);
                const Reply reply = replies_[request.path];
                response.status = reply.status;
                response.set_content(reply.body, "application/json");
            });
    }
    void Set(const std::string& path, int status, const std::string& body)
    {
        std::lock_guard lock(mutex_);
        replies_[path] = {status, body};
    }
    std::string Url(const std::string& path) const { return server_->Url(path); }
    std::vector<RecordedRequest> Requests() const { return server_->Requests(); }

private:
    std::mutex mutex_;
    std::map<std::string, Reply> replies_;
    std::unique_ptr<TestHttpsServer> server_;
};

class SigningSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        session.sessionId = "s-1";
        PointAtService();
        session.whitelist = {"localhost"};
        session.documents.resize(2);
        session.documents[0].documentId = "d1";
        session.documents[1].documentId = "d2";
        TestPrompts().Clear();
    }

    // Answers may name other URLs; each case starts from the scripted ones.
    void PointAtService()
    {
        session.sessionUrl = service.Url("/session");
        session.certificateUrl = service.Url("/certificate");
        session.unsignedHashUrl = service.Url("/unsigned");
        session.signedHashUrl = service.Url("/signed");
        session.stateUrl = service.Url("/state");
    }

    ScriptedService service;
    SigningSession session;
};

constexpr const char* kResult = R"({"sessionId":"s-1","code":"ERROR","message":"Refused"})";

TEST_F(SigningSessionTest, EveryOperationJudgesItsStatuses)
{
    struct Case {
        const char* operation;
        const char* path;
        int status;
        std::string body;
        SessionError result;
        std::vector<std::string> entries;
    };
    // A refusal names its verdict, a rejected answer the rule it broke.
    const std::string refused = R"(Service refused the request with HTTP status 420: code "ERROR", message "Refused")";
    const Case cases[] = {
        {"config",
         "/session",
         200,
         R"({"sessionId":"s-1","version":"1","SPName":"P","message":"M",)"
         R"("documents":[{"documentId":"d3","name":"n"}],"certificateUrl":"u"})",
         SessionError::Ok,
         {}},
        {"config", "/session", 420, kResult, SessionError::ServiceError, {refused}},
        {"config", "/session", 500, kResult, SessionError::InvalidStatusCode, {"Invalid HTTP status code: 500"}},
        {"config",
         "/session",
         200,
         R"({"sessionId":"other","version":"1"})",
         SessionError::BadResponse,
         {R"(JSON parse error! JSON: {"sessionId":"other","version":"1"})",
          R"(Answer refused: member "sessionId" is "other", not the session's "s-1")"}},
        {"certificate",
         "/certificate",
         200,
         R"({"sessionId":"s-1","unsignedHashUrl":"https://localhost/u2"})",
         SessionError::Ok,
         {}},
        {"certificate",
         "/certificate",
         200,
         kResult,
         SessionError::BadResponse,
         {std::string("JSON parse error! JSON: ") + kResult, R"(Answer refused: member "unsignedHashUrl" is missing)"}},
        {"certificate", "/certificate", 420, kResult, SessionError::ServiceError, {refused}},
        {"certificate", "/certificate", 202, "", SessionError::InvalidStatusCode, {"Invalid HTTP status code: 202"}},
        {"unsigned", "/unsigned", 202, "not even json", SessionError::Ok, {}},
        {"unsigned",
         "/unsigned",
         200,
         R"({"sessionId":"s-1","hashAlgorithm":"","unsignedHashes":[],"signedHashUrl":"x"})",
         SessionError::Ok,
         {}},
        {"unsigned", "/unsigned", 420, kResult, SessionError::ServiceError, {refused}},
        {"unsigned",
         "/unsigned",
         420,
         R"({"sessionId":"s-1"})",
         SessionError::BadResponse,
         {R"(JSON parse error! JSON: {"sessionId":"s-1"})", R"(Answer refused: member "code" is missing)"}},
        {"signed", "/signed", 200, R"({"sessionId":"s-1","code":"OK"})", SessionError::Ok, {}},
        {"signed", "/signed", 420, kResult, SessionError::ServiceError, {refused}},
        {"signed", "/signed", 404, kResult, SessionError::InvalidStatusCode, {"Invalid HTTP status code: 404"}},
        {"state", "/state", 200, R"({"sessionId":"s-1","code":"FINISHED"})", SessionError::Ok, {}},
        {"state", "/state", 420, kResult, SessionError::ServiceError, {refused}},
        {"state", "/state", 302, kResult, SessionError::InvalidStatusCode, {"Invalid HTTP status code: 302"}},
    };
    for (const Case& c : cases) {
        PointAtService();
        service.Set(c.path, c.status, c.body);
        const std::string op = c.operation;
        EntryWatch watch;
        const SessionError result = op == "config"        ? session.FetchConfig()
                                    : op == "certificate" ? session.SendCertificate()
                                    : op == "unsigned"    ? session.FetchUnsignedHashes()
                                    : op == "signed"      ? session.SendSignedHashes()
                                                          : session.FetchState();
        EXPECT_EQ(result, c.result) << op << " " << c.status << " " << c.body;
        EXPECT_EQ(watch.Texts(), c.entries) << op << " " << c.status;
        if (c.result == SessionError::ServiceError) {
            EXPECT_EQ(session.serverMessage.code, "ERROR");
            EXPECT_EQ(session.serverMessage.message, "Refused");
        }
    }
    EXPECT_EQ(session.state, "FINISHED");
    EXPECT_EQ(session.documents.size(), 3u);  // the configuration appends
    EXPECT_TRUE(TestPrompts().Messages().empty());
}

TEST_F(SigningSessionTest, RequestsCarryTheSessionsDocuments)
{
    service.Set("/session", 200, R"({"sessionId":"s-1","version":"1"})");
    service.Set("/signed", 200, R"({"sessionId":"s-1","code":"OK"})");
    service.Set("/certificate", 200, R"({"sessionId":"s-1","code":"OK","message":"Got it"})");
    session.mode = SessionMode::TestMode;
    ASSERT_EQ(session.FetchConfig(), SessionError::Ok);
    session.documents[0].signedHash = "c2ln";
    ASSERT_EQ(session.SendSignedHashes(), SessionError::Ok);
    session.mode = SessionMode::SelectCertificateMode;
    session.certificate = "-----BEGIN CERTIFICATE-----\r\nAA==\r\n-----END CERTIFICATE-----\r\n";
    ASSERT_EQ(session.SendCertificate(), SessionError::Ok);
    EXPECT_EQ(session.serverMessage.message, "Got it");
    const auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].body, R"({"sessionId":"s-1","cancel":false})");
    EXPECT_EQ(requests[1].body, R"({"sessionId":"s-1","signedHashes":[{"documentId":"d1","signedHash":"c2ln"},)"
                                R"({"documentId":"d2","signedHash":""}]})");
    EXPECT_EQ(requests[2].body, R"({"sessionId":"s-1","certificate":"-----BEGIN CERTIFICATE-----\r\nAA==\r\n)"
                                R"(-----END CERTIFICATE-----\r\n"})");
}

TEST_F(SigningSessionTest, UnsignedHashesArriveAfterNotReadyAnswers)
{
    service.Set("/unsigned", 202, "");
    EXPECT_EQ(session.FetchUnsignedHashes(), SessionError::Ok);
    EXPECT_FALSE(session.HasAllUnsignedHashes());
    service.Set("/unsigned", 200,
                R"({"sessionId":"s-1","hashAlgorithm":"2.16.840.1.101.3.4.2.1",)"
                R"("unsignedHashes":[{"documentId":"d1","unsignedHash":"aA=="}],"signedHashUrl":"x"})");
    EXPECT_EQ(session.FetchUnsignedHashes(), SessionError::Ok);
    EXPECT_FALSE(session.HasAllUnsignedHashes());  // d2 still waits
    service.Set("/unsigned", 200,
                R"({"sessionId":"s-1","hashAlgorithm":"2.16.840.1.101.3.4.2.1",)"
                R"("unsignedHashes":[{"documentId":"d2","unsignedHash":"bA=="}],"signedHashUrl":"x"})");
    EXPECT_EQ(session.FetchUnsignedHashes(), SessionError::Ok);
    EXPECT_TRUE(session.HasAllUnsignedHashes());
}

TEST_F(SigningSessionTest, FailedCancelShowsOneMessage)
{
    struct Case {
        int status;
        const char* body;
        bool shown;
    };
    const Case cases[] = {
        {200, R"({"sessionId":"s-1","code":"CANCEL"})", false},
        {420, R"({"sessionId":"s-1","code":"ERROR"})", true},
        {200, R"({"sessionId":"s-1"})", true},
        {500, R"({"sessionId":"s-1","code":"OK"})", true},
    };
    test::SetEnvironment("LANGUAGE", "en");
    for (const Case& c : cases) {
        service.Set("/session", c.status, c.body);
        TestPrompts().Clear();
        session.SendCancel();
        const auto shown = TestPrompts().Recorded();
        if (c.shown) {
            ASSERT_EQ(shown.size(), 1u) << c.status << c.body;
            EXPECT_EQ(shown[0].text, "Failed to send the cancellation request!");
            EXPECT_EQ(shown[0].icon, MessageIcon::Exclamation);
        } else {
            EXPECT_TRUE(shown.empty());
        }
    }
    EXPECT_EQ(service.Requests().back().body, R"({"sessionId":"s-1","cancel":true})");
    // Not on the whitelist: nothing is sent, and the failure is shown as well.
    session.whitelist.clear();
    TestPrompts().Clear();
    session.SendCancel();
    EXPECT_EQ(TestPrompts().Messages().size(), 1u);
}

// A service whose certificate the system does not trust, through a whole
// session: the user is asked once, and the answer holds for the run.
class UntrustedServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetTrustAnswers();
        TestPrompts().Clear();
        session.sessionId = "s-1";
        session.sessionUrl = service.Url("/session");
        session.stateUrl = service.Url("/state");
        session.whitelist = {"localhost"};
        service.Set("/session", 200,
                    R"({"sessionId":"s-1","version":"1","SPName":"P","message":"M",)"
                    R"("documents":[{"documentId":"d1","name":"n"}],"certificateUrl":")" +
                        service.Url("/certificate") + R"(","stateUrl":")" + service.Url("/state") + R"("})");
        service.Set("/certificate", 200,
                    R"({"sessionId":"s-1","unsignedHashUrl":")" + service.Url("/unsigned") + R"("})");
        service.Set("/unsigned", 202, "");
        service.Set("/signed", 200, R"({"sessionId":"s-1","code":"OK"})");
        service.Set("/state", 200, R"({"sessionId":"s-1","code":"WAITING_FOR_CERTIFICATE"})");
    }
    void TearDown() override { ForgetTrustAnswers(); }

    ScriptedService service{"service-selfsigned"};
    SigningSession session;
};

TEST_F(UntrustedServiceTest, AnAcceptedCertificateIsAskedAboutOnceForTheWholeSession)
{
    TestPrompts().QueueTrust(true);
    ASSERT_EQ(session.FetchConfig(), SessionError::Ok);
    ASSERT_EQ(session.SendCertificate(), SessionError::Ok);
    ASSERT_EQ(session.FetchUnsignedHashes(), SessionError::Ok);
    ASSERT_EQ(session.FetchUnsignedHashes(), SessionError::Ok);
    service.Set("/unsigned", 200,
                R"({"sessionId":"s-1","hashAlgorithm":"","unsignedHashes":[{"documentId":"d1","unsignedHash":"aA=="}],)"
                R"("signedHashUrl":")" +
                    service.Url("/signed") + R"("})");
    ASSERT_EQ(session.FetchUnsignedHashes(), SessionError::Ok);
    ASSERT_EQ(session.SendSignedHashes(), SessionError::Ok);
    ASSERT_EQ(session.FetchState(), SessionError::Ok);
    service.Set("/session", 200, R"({"sessionId":"s-1","code":"OK"})");
    session.SendCancel();

    const auto asked = TestPrompts().Recorded();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, "trust");
    EXPECT_EQ(asked[0].host, "localhost");
    EXPECT_EQ(service.Requests().size(), 8u);
}

TEST_F(UntrustedServiceTest, ARefusalEndsTheSessionWithOneMessageAndIsNeverAskedAgain)
{
    TestPrompts().QueueTrust(false);
    EntryWatch watch;
    const SessionError result = session.FetchConfig();
    ASSERT_EQ(result, SessionError::ConnectionError);
    ShowSessionResult(result, session.serverMessage);  // as the launch step does
    // Closing the window sends the cancel message; the mobile dialog polls.
    session.SendCancel();
    EXPECT_EQ(session.FetchState(), SessionError::ConnectionError);

    const auto shown = TestPrompts().Recorded();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, "trust");
    EXPECT_EQ(shown[1].text, "Connection error!");
    EXPECT_TRUE(service.Requests().empty());
    const auto texts = watch.Texts();
    ASSERT_EQ(texts.size(), 3u);
    for (const std::string& text : texts) {
        EXPECT_EQ(text.rfind("Untrusted server certificate refused by the user: ", 0), 0u) << text;
    }
}

// The whitelist host with its trusted certificate, answering every download alike.
class WhitelistTest : public ::testing::Test {
protected:
    void Start(int status, std::string body)
    {
        const TlsServerFiles files = WhitelistHost("host-2848-root2");
        host = std::make_unique<TestHttpsServer>(files.chainPem, files.privateKeyPem,
                                                 [status, body](const httplib::Request&, httplib::Response& response) {
                                                     response.status = status;
                                                     response.set_content(body, "application/json");
                                                 });
        test::SetEnvironment("NEROLIN_TEST_WHITELIST_URL", host->Url("/whitelist/whitelist.json").c_str());
        session.sessionUrl = "https://Svc.Example:9443/session/1";
        TestPrompts().Clear();
    }
    std::unique_ptr<TestHttpsServer> host;
    SigningSession session;
};

TEST_F(WhitelistTest, DownloadAsksForTheSessionsHost)
{
    Start(200, R"(["svc.example","other.example"])");
    WriteUserSetting(setting::kUseNoCacheForWhitelist, 0);
    ASSERT_EQ(session.DownloadWhitelist(), SessionError::Ok);
    EXPECT_EQ(session.whitelist, (std::set<std::string>{"other.example", "svc.example"}));
    WriteUserSetting(setting::kUseNoCacheForWhitelist, 1);
    ASSERT_EQ(session.DownloadWhitelist(), SessionError::Ok);
    const auto requests = host->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    // The host as the session URL writes it: the whitelist host answers for that text.
    EXPECT_EQ(requests[0].target, "/whitelist/whitelist.json?server=Svc.Example");
    EXPECT_EQ(requests[1].target.rfind("/whitelist/whitelist.json?server=Svc.Example&nocache=", 0), 0u);
    EXPECT_EQ(requests[1].target.size(),
              std::string("/whitelist/whitelist.json?server=Svc.Example&nocache=").size() + 14);
}

TEST_F(WhitelistTest, RefusedDownloads)
{
    struct Case {
        int status;
        std::string body;
        SessionError result;
        std::set<std::string> kept;
    };
    const Case cases[] = {
        {404, R"(["svc.example"])", SessionError::InvalidStatusCode, {}},
        {200, R"({"hosts":[]})", SessionError::BadResponse, {}},
        {200, "", SessionError::BadResponse, {}},
        {200, std::string(1000000, '['), SessionError::BadResponse, {}},
        {200, std::string("[\"svc.example\"]\0[\"evil.example\"]", 32), SessionError::BadResponse, {}},
        {200, R"(["svc.example",7])", SessionError::BadResponse, {"svc.example"}},
    };
    for (const Case& c : cases) {
        Start(c.status, c.body);
        EXPECT_EQ(session.DownloadWhitelist(), c.result) << c.body;
        EXPECT_EQ(session.whitelist, c.kept) << c.body;
    }
    SigningSession noUrl;
    EntryWatch watch;
    EXPECT_EQ(noUrl.DownloadWhitelist(), SessionError::BadUrl);
    EXPECT_EQ(watch.Texts(), std::vector<std::string>{"Failed to parse URL: "});
}

}  // namespace
}  // namespace nerolin::test
