// One session of each ending driven over real HTTPS with the curl command
// line, as an integrator would try the service.

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <openssl/ecdsa.h>
#include <rapidjson/document.h>

#include "common/OpenSslOwners.h"
#include "common/Text.h"
#include "tests/support/DevService.h"
#include "tests/support/TestPki.h"
#include "tools/devservice/HashSigner.h"

namespace nerolin::test {
namespace {

struct CurlReply {
    int status = 0;
    std::string contentType;
    std::string body;
};

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// POSTs body (when given) as the agent does, with no Content-Type header.
CurlReply Curl(const std::string& directory, const std::string& caFile, const std::string& url,
               const std::optional<std::string>& body = std::nullopt)
{
    static std::atomic<int> counter{0};
    std::string base = directory + "/curl-" + std::to_string(counter++);
    std::string command =
        "curl -sS --max-time 30 -o '" + base + ".out' -w '%{http_code} %{content_type}' --cacert '" + caFile + "' ";
    if (body) {
        std::ofstream(base + ".in", std::ios::binary) << *body;
        command += "-X POST -H 'Content-Type:' --data-binary '@" + base + ".in' ";
    }
    command += "'" + url + "' > '" + base + ".meta'";
    CurlReply reply;
    if (std::system(command.c_str()) != 0) return reply;
    std::istringstream meta(ReadText(base + ".meta"));
    meta >> reply.status;
    std::getline(meta >> std::ws, reply.contentType);
    reply.body = ReadText(base + ".out");
    return reply;
}

rapidjson::Document Json(const std::string& text)
{
    rapidjson::Document document;
    document.Parse(text.c_str());
    return document;
}

std::string Text(const rapidjson::Value& value, const char* name)
{
    auto it = value.FindMember(name);
    return it != value.MemberEnd() && it->value.IsString() ? it->value.GetString() : "";
}

std::string Poll(const std::string& id) { return R"({"sessionId":")" + id + R"(","cancel":false})"; }

// Signatures for the service's hashes, as the signed-hashes message carries them.
std::string SignedHashes(const std::string& id, const rapidjson::Value& hashes, const char* keyName,
                         const std::string& algorithm, bool spoilFirst)
{
    EvpPkeyPtr key = LoadPrivateKey(SigningIdentity(keyName).privateKeyPem);
    std::string body = R"({"sessionId":")" + id + R"(","signedHashes":[)";
    bool first = true;
    for (const auto& entry : hashes.GetArray()) {
        Bytes hash = Base64Decode(Text(entry, "unsignedHash"), Base64Format::Base64);
        Bytes signature = devservice::SignHashBytes(key.get(), algorithm, hash).value_or(Bytes{});
        if (spoilFirst && first) signature[0] ^= 0x80;
        // The agent's Base64 form: 64-character lines ended by CR LF, escaped in JSON.
        std::string text = Base64Encode(signature, Base64Format::Base64);
        std::string escaped;
        for (char c : text)
            escaped += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
        if (!first) body += ",";
        body += R"({"documentId":")" + Text(entry, "documentId") + R"(","signedHash":")" + escaped + R"("})";
        first = false;
    }
    return body + "]}";
}

std::string CertificateMessage(const std::string& id, const char* name)
{
    std::string text =
        Base64Encode(LoadCertificateDer(SigningIdentity(name).certificatePem), Base64Format::Base64Header);
    std::string escaped;
    for (char c : text) escaped += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return R"({"sessionId":")" + id + R"(","certificate":")" + escaped + R"("})";
}

class CurlSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() { service_ = new DevService(); }
    static void TearDownTestSuite()
    {
        delete service_;
        service_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(service_->Running()) << service_->Log(); }

    CurlReply Post(const std::string& url, const std::string& body)
    {
        return Curl(service_->Directory(), service_->SslCertFile(), url, body);
    }
    rapidjson::Document Report(const std::string& id) { return Json(service_->SessionReport(id).value_or("")); }

    static DevService* service_;
};
DevService* CurlSession::service_ = nullptr;

TEST_F(CurlSession, WhitelistHostAnswersOverTheBuiltInRootsAndRecordsTheQuery)
{
    CurlReply reply = Curl(service_->Directory(), TrustedRootsFile(),
                           service_->WhitelistUrl() + "?server=127.0.0.1%25x&nocache=20261210120000");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, R"(["127.0.0.1","localhost"])");
    EXPECT_EQ(reply.contentType.rfind("application/json", 0), 0u);
    auto requests = Json(service_->WhitelistRequests().value_or(""));
    ASSERT_TRUE(requests.IsArray() && requests.Size() == 1);
    EXPECT_EQ(Text(requests[0], "server"), "127.0.0.1%x");
    EXPECT_EQ(Text(requests[0], "nocache"), "20261210120000");
    EXPECT_EQ(Text(requests[0], "target"), "/whitelist/whitelist.json?server=127.0.0.1%25x&nocache=20261210120000");
}

TEST_F(CurlSession, SelectCertificateAndSignRunsToFinished)
{
    auto session = service_->CreateSession(
        R"({"mode":"SELECT_CERTIFICATE_AND_SIGN","pendingPolls":1,"filters":[{"keyUsage":{"nonRepudiation":true}}]})");
    ASSERT_TRUE(session);
    const std::string& id = session->sessionId;
    EXPECT_EQ(session->link.rfind("yendo:%7B%22sessionUrl%22:", 0), 0u) << session->link;

    CurlReply config = Post(session->sessionUrl, Poll(id));
    ASSERT_EQ(config.status, 200) << config.body;
    auto configuration = Json(config.body);
    EXPECT_EQ(Text(configuration, "sessionId"), id);
    EXPECT_EQ(Text(configuration, "version"), "1");
    EXPECT_TRUE(configuration["filters"].IsArray());
    EXPECT_EQ(configuration["documents"].Size(), 2u);

    CurlReply state = Post(Text(configuration, "stateUrl"), Poll(id));
    EXPECT_EQ(Text(Json(state.body), "code"), "WAITING_FOR_CERTIFICATE");

    CurlReply certificate = Post(Text(configuration, "certificateUrl"), CertificateMessage(id, "ec"));
    ASSERT_EQ(certificate.status, 200) << certificate.body;
    std::string unsignedHashUrl = Text(Json(certificate.body), "unsignedHashUrl");

    CurlReply notYet = Post(unsignedHashUrl, Poll(id));
    EXPECT_EQ(notYet.status, 202);
    EXPECT_EQ(notYet.contentType.rfind("application/json", 0), 0u);
    CurlReply hashes = Post(unsignedHashUrl, Poll(id));
    ASSERT_EQ(hashes.status, 200) << hashes.body;
    auto hashDocument = Json(hashes.body);
    ASSERT_EQ(hashDocument["unsignedHashes"].Size(), 2u);
    EXPECT_EQ(Post(unsignedHashUrl, Poll(id)).body, hashes.body);  // a repeated poll sees the same content

    CurlReply signedReply =
        Post(Text(hashDocument, "signedHashUrl"),
             SignedHashes(id, hashDocument["unsignedHashes"], "ec", Text(hashDocument, "hashAlgorithm"), false));
    ASSERT_EQ(signedReply.status, 200) << signedReply.body;
    EXPECT_EQ(Text(Json(signedReply.body), "code"), "OK");

    auto report = Report(id);
    EXPECT_EQ(Text(report, "state"), "FINISHED");
    for (const auto& document : report["documents"].GetArray()) EXPECT_TRUE(document["signatureValid"].GetBool());
    EXPECT_EQ(report["violations"].Size(), 0u) << service_->SessionReport(id).value_or("");
    EXPECT_EQ(Text(Json(Post(session->stateUrl, Poll(id)).body), "code"), "FINISHED");
}

TEST_F(CurlSession, WrongSignatureEndsTheSessionInErrorNamingTheDocument)
{
    auto session = service_->CreateSession(R"({"mode":"SIGN","certificate":"rsa"})");
    ASSERT_TRUE(session);
    const std::string& id = session->sessionId;
    auto configuration = Json(Post(session->sessionUrl, Poll(id)).body);
    ASSERT_TRUE(configuration.IsObject());
    EXPECT_NE(Text(configuration, "certificate").find("-----BEGIN CERTIFICATE-----\r\n"), std::string::npos);

    CurlReply reply =
        Post(Text(configuration, "signedHashUrl"),
             SignedHashes(id, configuration["documents"], "rsa", Text(configuration, "hashAlgorithm"), true));
    EXPECT_EQ(reply.status, 420);
    auto message = Json(reply.body);
    EXPECT_EQ(Text(message, "sessionId"), id);
    EXPECT_EQ(Text(message, "code"), "ERROR");
    EXPECT_NE(Text(message, "message").find("contract.pdf"), std::string::npos);
    EXPECT_EQ(Text(Json(Post(session->stateUrl, Poll(id)).body), "code"), "ERROR");
}

TEST_F(CurlSession, CancelEndsTheSession)
{
    auto session = service_->CreateSession(R"({"mode":"SELECT_CERTIFICATE"})");
    ASSERT_TRUE(session);
    const std::string& id = session->sessionId;
    ASSERT_EQ(Post(session->sessionUrl, Poll(id)).status, 200);
    CurlReply cancel = Post(session->sessionUrl, R"({"sessionId":")" + id + R"(","cancel":true})");
    EXPECT_EQ(cancel.status, 200);
    EXPECT_EQ(Text(Json(cancel.body), "code"), "OK");
    auto report = Report(id);
    EXPECT_TRUE(report["cancelled"].GetBool());
    EXPECT_EQ(Text(report, "state"), "ERROR");
    // The ended session refuses its configuration from now on.
    EXPECT_EQ(Post(session->sessionUrl, Poll(id)).status, 420);
}

// A test releases a stall as soon as the client has sent its request, which
// may still be on its way: the release must reach the request all the same.
TEST_F(CurlSession, AReleaseThatOvertakesTheStalledRequestStillEndsItsStall)
{
    auto session = service_->CreateSession(R"({"faults":[{"exchange":"config","kind":"stall"}]})");
    ASSERT_TRUE(session);
    const std::string& id = session->sessionId;
    ASSERT_TRUE(service_->ReleaseStalls(id));
    // The stall would last an hour; curl gives up after 30 s with status 0.
    EXPECT_EQ(Post(session->sessionUrl, Poll(id)).status, 200);
}

// Other end-to-end tests rely on each fault kind answering as documented.
TEST_F(CurlSession, FaultScriptsShapeTheConfigurationAnswer)
{
    struct Case {
        const char* fault;
        int status;
        const char* contentType;
        const char* bodyStart;  // with ID for the session identifier
        bool parses;
    };
    const Case cases[] = {
        {R"({"kind":"status","status":503})", 503, "application/json", R"({"sessionId":"ID"})", true},
        {R"({"kind":"contentType","contentType":"text/html"})", 200, "text/html", R"({"sessionId":"ID","version":"1")",
         true},
        {R"({"kind":"badJson"})", 200, "application/json", R"({"sessionId":"ID","code":)", false},
        {R"({"kind":"otherSessionId"})", 200, "application/json", R"({"sessionId":"ID-other","version")", true},
        {R"({"kind":"oversized","bytes":3000000})", 200, "application/json", R"({"sessionId":"ID","padding":"xxx)",
         true},
        {R"({"kind":"serviceError","code":"WARNING","message":"Busy"})", 420, "application/json",
         R"({"sessionId":"ID","code":"WARNING","message":"Busy"})", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        auto session =
            service_->CreateSession(std::string(R"({"faults":[{"exchange":"config",)") + (c.fault + 1) + "]}");
        ASSERT_TRUE(session);
        const std::string& id = session->sessionId;
        CurlReply reply = Post(session->sessionUrl, Poll(id));
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.contentType.rfind(c.contentType, 0), 0u) << reply.contentType;
        std::string start = c.bodyStart;
        start.replace(start.find("ID"), 2, id);
        EXPECT_EQ(reply.body.substr(0, start.size()), start);
        EXPECT_EQ(!Json(reply.body).HasParseError(), c.parses);
        if (std::string(c.fault).find("oversized") != std::string::npos) {
            EXPECT_EQ(reply.body.size(), 3000000u);
        }
        // The fault was used up: the next fetch is answered normally.
        EXPECT_EQ(Post(session->sessionUrl, Poll(id)).status, 200);
    }
}

}  // namespace
}  // namespace nerolin::test
