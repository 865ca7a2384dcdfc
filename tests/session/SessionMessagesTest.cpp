#include <gtest/gtest.h>

#include "session/SigningSession.h"

namespace nerolin::test {
namespace {

using namespace std::string_literals;

TEST(SessionMessages, RequestsAreCompactWithMembersInOrder)
{
    EXPECT_EQ(WritePollMessage("abc", false), R"({"sessionId":"abc","cancel":false})");
    EXPECT_EQ(WritePollMessage("abc", true), R"({"sessionId":"abc","cancel":true})");
    // Line breaks of the certificate text travel as JSON escapes; other bytes as they are.
    EXPECT_EQ(WriteCertificateMessage("a\"b", "-----BEGIN\r\nx\\y\xC3\xA9/"),
              "{\"sessionId\":\"a\\\"b\",\"certificate\":\"-----BEGIN\\r\\nx\\\\y\xC3\xA9/\"}");
    std::vector<DocumentInfo> documents(2);
    documents[0].documentId = "d1";
    documents[0].signedHash = "c2ln";
    documents[1].documentId = "d2";  // written even without a signature
    EXPECT_EQ(WriteSignedHashesMessage("s", documents),
              R"({"sessionId":"s","signedHashes":[{"documentId":"d1","signedHash":"c2ln"},)"
              R"({"documentId":"d2","signedHash":""}]})");
}

// What an integrator reads in the event log: the first rule the answer
// broke, with the member's place.
TEST(SessionMessages, ARejectionNamesTheFirstRuleBroken)
{
    using Reader = bool (*)(std::string_view, SigningSession&, std::string*);
    const struct {
        SessionMode mode;
        Reader reader;
        std::string body;
        std::string why;
    } cases[] = {
        {SessionMode::TestMode, ReadSessionConfig, "{\"sessionId\":\"s1\"", "the body is not one JSON document"},
        {SessionMode::TestMode, ReadSessionConfig, "[]", "the body is not a JSON object"},
        {SessionMode::TestMode, ReadSessionConfig, R"({"version":"1"})", R"(member "sessionId" is missing)"},
        {SessionMode::TestMode, ReadSessionConfig, R"({"sessionId":"S1","version":"1"})",
         R"(member "sessionId" is "S1", not the session's "s1")"},
        {SessionMode::TestMode, ReadSessionConfig, R"({"sessionId":"s1","version":1})",
         R"(member "version" is not a string)"},
        {SessionMode::SignMode, ReadSessionConfig, R"({"sessionId":"s1","version":"1","message":"m"})",
         R"(member "SPName" is missing)"},
        {SessionMode::SignMode, ReadSessionConfig, R"({"sessionId":"s1","version":"1","SPName":"P","message":"m "})",
         R"(member "message" begins or ends with white space)"},
        {SessionMode::SignMode, ReadSessionConfig,
         R"({"sessionId":"s1","version":"1","SPName":"P","message":"m","documents":[{"documentId":"d","unsignedHash":"h","name":"n"},{"documentId":"e","name":"n"}]})",
         R"(documents[1]: member "unsignedHash" is missing)"},
        {SessionMode::SignMode, ReadSessionConfig,
         R"({"sessionId":"s1","version":"1","SPName":"P","message":"m","documents":[{"documentId":"d","unsignedHash":"h","name":"n"}],"certificate":"c"})",
         R"(member "hashAlgorithm" is missing)"},
        {SessionMode::SelectCertificateMode, ReadSessionConfig,
         R"({"sessionId":"s1","version":"1","SPName":"P","message":"m","filters":{}})",
         R"(member "filters" is not an array of objects whose "keyUsage" is an object and whose )"
         R"("acceptedAuthorityKeyIdentifiers" is an array of objects)"},
        {SessionMode::SelectCertificateMode, ReadSessionConfig,
         R"({"sessionId":"s1","version":"1","SPName":"P","message":"m","certificateUrl":""})",
         R"(member "certificateUrl" is empty)"},
        {SessionMode::SignMode, ReadUnsignedHashes,
         R"({"sessionId":"s1","hashAlgorithm":"","unsignedHashes":[{"documentId":"d"}],"signedHashUrl":"u"})",
         R"(unsignedHashes[0]: member "unsignedHash" is missing)"},
        {SessionMode::SignMode, ReadUnsignedHashes, R"({"sessionId":"s1","hashAlgorithm":"","unsignedHashes":[]})",
         R"(member "signedHashUrl" is missing)"},
        {SessionMode::SignMode, ReadStateMessage, R"({"sessionId":"s1","state":"FINISHED"})",
         R"(member "code" is missing)"},
    };
    for (const auto& c : cases) {
        SigningSession session;
        session.sessionId = "s1";
        session.mode = c.mode;
        std::string why;
        EXPECT_FALSE(c.reader(c.body, session, &why)) << c.body;
        EXPECT_EQ(why, c.why) << c.body;
    }
}

struct ConfigCase {
    const char* name;
    SessionMode mode;
    std::string body;
    bool accepted;
};

constexpr const char* kFull = R"("version":"1","SPName":"Provider","message":"Sign please",)"
                              R"("documents":[{"documentId":"d1","name":"Contract.pdf","unsignedHash":"aGFzaA=="}],)"
                              R"("certificateUrl":"https://svc/cert")";

void PrintTo(const ConfigCase& c, std::ostream* out) { *out << c.name; }

class ConfigAcceptance : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigAcceptance, FollowsTheMemberRules)
{
    const ConfigCase& c = GetParam();
    SigningSession session;
    session.sessionId = "s1";
    session.mode = c.mode;
    EXPECT_EQ(ReadSessionConfig(c.body, session), c.accepted) << c.body;
}

const SessionMode kPick = SessionMode::SelectCertificateMode;
const SessionMode kSign = SessionMode::SignMode;
const SessionMode kPickSign = SessionMode::SelectCertificateAndSignMode;
const SessionMode kTest = SessionMode::TestMode;

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigAcceptance,
    ::testing::Values(
        ConfigCase{"full", kPickSign, std::string(R"({"sessionId":"s1",)") + kFull + "}", true},
        ConfigCase{"other_case_id", kPickSign, std::string(R"({"sessionId":"S1",)") + kFull + "}", false},
        ConfigCase{"no_id", kTest, R"({"version":"1"})", false},
        ConfigCase{"numeric_id", kTest, R"({"sessionId":1,"version":"1"})", false},
        ConfigCase{"array_root", kTest, R"([{"sessionId":"s1","version":"1"}])", false},
        ConfigCase{"second_value", kTest, R"({"sessionId":"s1","version":"1"} {})", false},
        ConfigCase{"trailing_space_ok", kTest, "{\"sessionId\":\"s1\",\"version\":\"1\"}\r\n ", true},
        ConfigCase{"zero_byte_then_garbage", kTest, "{\"sessionId\":\"s1\",\"version\":\"1\"}\0x"s, false},
        ConfigCase{"comment", kTest, R"({"sessionId":"s1","version":"1"/**/})", false},
        ConfigCase{"test_minimal", kTest, R"({"sessionId":"s1","version":"1"})", true},
        ConfigCase{"test_empty_version", kTest, R"({"sessionId":"s1","version":""})", false},
        ConfigCase{"first_of_repeated_key", kTest, R"({"sessionId":"s1","sessionId":"x","version":"1"})", true},
        ConfigCase{"spname_leading_space", kPick,
                   R"({"sessionId":"s1","version":"1","SPName":" P","message":"m","certificateUrl":"u"})", false},
        ConfigCase{"spname_trailing_newline", kPick,
                   R"({"sessionId":"s1","version":"1","SPName":"P\n","message":"m","certificateUrl":"u"})", false},
        ConfigCase{"spname_inner_space", kPick,
                   R"({"sessionId":"s1","version":"1","SPName":"P Q","message":"m","certificateUrl":"u"})", true},
        ConfigCase{
            "spname_not_utf8", kPick,
            "{\"sessionId\":\"s1\",\"version\":\"1\",\"SPName\":\"P\xC3\",\"message\":\"m\",\"certificateUrl\":\"u\"}",
            false},
        ConfigCase{"pick_without_documents", kPick,
                   R"({"sessionId":"s1","version":"1","SPName":"P","message":"m","certificateUrl":"u"})", true},
        ConfigCase{"pick_sign_without_documents", kPickSign,
                   R"({"sessionId":"s1","version":"1","SPName":"P","message":"m","certificateUrl":"u"})", false},
        ConfigCase{"pick_sign_empty_documents", kPickSign,
                   R"({"sessionId":"s1","version":"1","SPName":"P","message":"m","documents":[],"certificateUrl":"u"})",
                   false},
        ConfigCase{"document_name_padded", kPickSign,
                   R"({"sessionId":"s1","version":"1","SPName":"P","message":"m",)"
                   R"("documents":[{"documentId":"d","name":"a.pdf "}],"certificateUrl":"u"})",
                   false},
        ConfigCase{"download_url_wrong_type_ignored", kPickSign,
                   R"({"sessionId":"s1","version":"1","SPName":"P","message":"m",)"
                   R"("documents":[{"documentId":"d","name":"a","downloadUrl":5}],"certificateUrl":"u"})",
                   true},
        ConfigCase{"filters_not_array", kPickSign,
                   R"({"sessionId":"s1","version":"1","SPName":"P","message":"m",)"
                   R"("documents":[{"documentId":"d","name":"a"}],"filters":{},"certificateUrl":"u"})",
                   false},
        ConfigCase{"sign_empty_hash_algorithm", kSign,
                   R"({"sessionId":"s1","version":"1","SPName":"P","message":"m",)"
                   R"("documents":[{"documentId":"d","name":"a","unsignedHash":"h"}],)"
                   R"("hashAlgorithm":"","certificate":"c","signedHashUrl":"u"})",
                   true},
        ConfigCase{"sign_missing_hash_algorithm", kSign,
                   R"({"sessionId":"s1","version":"1","SPName":"P","message":"m",)"
                   R"("documents":[{"documentId":"d","name":"a","unsignedHash":"h"}],)"
                   R"("certificate":"c","signedHashUrl":"u"})",
                   false},
        ConfigCase{"sign_document_without_hash", kSign,
                   R"({"sessionId":"s1","version":"1","SPName":"P","message":"m",)"
                   R"("documents":[{"documentId":"d","name":"a"}],)"
                   R"("hashAlgorithm":"","certificate":"c","signedHashUrl":"u"})",
                   false}),
    [](const ::testing::TestParamInfo<ConfigCase>& info) { return std::string(info.param.name); });

TEST(SessionMessages, ConfigurationFillsTheSession)
{
    SigningSession session;
    session.sessionId = "s1";
    session.mode = SessionMode::SelectCertificateAndSignMode;
    ASSERT_TRUE(ReadSessionConfig(
        R"({"sessionId":"s1","version":"1","SPName":"Provider","message":"Hello",)"
        R"("documents":[{"documentId":"d1","name":"A.pdf","downloadUrl":"https://x/a","unsignedHash":"ignored"},)"
        R"({"documentId":"d2","name":"B.pdf"}],)"
        R"("filters":[{"hasQCStatement":true}],"certificateUrl":"https://svc/c","stateUrl":"https://svc/s"})",
        session));
    EXPECT_EQ(session.version, "1");
    EXPECT_EQ(session.spName, "Provider");
    EXPECT_EQ(session.message, "Hello");
    ASSERT_EQ(session.documents.size(), 2u);
    EXPECT_EQ(session.documents[0].downloadUrl, "https://x/a");
    EXPECT_EQ(session.documents[0].unsignedHash, "");  // read in SignMode only
    EXPECT_EQ(session.documents[1].name, "B.pdf");
    EXPECT_EQ(session.filter.size(), 1u);
    EXPECT_EQ(session.certificateUrl, "https://svc/c");
    EXPECT_EQ(session.stateUrl, "https://svc/s");
}

TEST(SessionMessages, RejectionKeepsWhatWasReadBefore)
{
    SigningSession session;
    session.sessionId = "s1";
    session.mode = SessionMode::SelectCertificateMode;
    EXPECT_FALSE(ReadSessionConfig(R"({"sessionId":"s1","version":"7","SPName":"P","message":" m"})", session));
    EXPECT_EQ(session.version, "7");
    EXPECT_EQ(session.spName, "P");
    EXPECT_EQ(session.message, "");
}

TEST(SessionMessages, UnsignedHashesFillEveryDocumentNamed)
{
    SigningSession session;
    session.sessionId = "s1";
    session.documents.resize(3);
    session.documents[0].documentId = "a";
    session.documents[1].documentId = "b";
    session.documents[2].documentId = "a";
    ASSERT_TRUE(ReadUnsignedHashes(R"({"sessionId":"s1","hashAlgorithm":"2.16.840.1.101.3.4.2.1",)"
                                   R"("unsignedHashes":[{"documentId":"a","unsignedHash":"h1"},)"
                                   R"({"documentId":"zz","unsignedHash":"h9"},{"documentId":"a","unsignedHash":"h2"}],)"
                                   R"("signedHashUrl":"https://svc/signed"})",
                                   session));
    EXPECT_EQ(session.documents[0].unsignedHash, "h2");  // named twice: the last counts
    EXPECT_EQ(session.documents[1].unsignedHash, "");
    EXPECT_EQ(session.documents[2].unsignedHash, "h2");
    EXPECT_EQ(session.hashAlgorithm, "2.16.840.1.101.3.4.2.1");
    EXPECT_EQ(session.signedHashUrl, "https://svc/signed");
    EXPECT_FALSE(session.HasAllUnsignedHashes());

    // An empty list is accepted and fills nothing.
    SigningSession empty;
    empty.sessionId = "s1";
    EXPECT_TRUE(
        ReadUnsignedHashes(R"({"sessionId":"s1","hashAlgorithm":"","unsignedHashes":[],"signedHashUrl":"u"})", empty));
    EXPECT_FALSE(empty.HasAllUnsignedHashes());  // no documents at all
    EXPECT_FALSE(
        ReadUnsignedHashes(R"({"sessionId":"s1","hashAlgorithm":"","unsignedHashes":{},"signedHashUrl":"u"})", empty));
    EXPECT_FALSE(ReadUnsignedHashes(R"({"sessionId":"s1","hashAlgorithm":"","unsignedHashes":[]})", empty));
}

TEST(SessionMessages, ResultMessageKeepsAnEarlierTextWhenItHasNone)
{
    SigningSession session;
    session.sessionId = "s1";
    ASSERT_TRUE(ReadResultMessage(R"({"sessionId":"s1","code":"WARNING","message":"Almost"})", session));
    ASSERT_TRUE(ReadResultMessage(R"({"sessionId":"s1","code":"OK"})", session));
    EXPECT_EQ(session.serverMessage.code, "OK");
    EXPECT_EQ(session.serverMessage.message, "Almost");
    EXPECT_FALSE(ReadResultMessage(R"({"sessionId":"s1","code":""})", session));
    EXPECT_FALSE(ReadResultMessage(R"({"sessionId":"s1","code":"OK","message":"\xFF"})", session));
}

TEST(SessionMessages, StateAndUnsignedHashUrl)
{
    SigningSession session;
    session.sessionId = "s1";
    EXPECT_TRUE(ReadStateMessage(R"({"sessionId":"s1","code":"WAITING_FOR_CERTIFICATE"})", session));
    EXPECT_EQ(session.state, SessionState::WaitingForCertificate);
    EXPECT_FALSE(ReadStateMessage(R"({"sessionId":"s1"})", session));
    EXPECT_TRUE(ReadUnsignedHashUrl(R"({"sessionId":"s1","unsignedHashUrl":"https://svc/u"})", session));
    EXPECT_EQ(session.unsignedHashUrl, "https://svc/u");
    EXPECT_FALSE(ReadUnsignedHashUrl(R"({"sessionId":"s1","unsignedHashUrl":""})", session));
}

TEST(SessionMessages, OnlyVersionOneIsSupported)
{
    EXPECT_TRUE(IsSupportedProtocolVersion("1"));
    EXPECT_FALSE(IsSupportedProtocolVersion("1.0"));
    EXPECT_FALSE(IsSupportedProtocolVersion(" 1"));
    EXPECT_FALSE(IsSupportedProtocolVersion("2"));
}

}  // namespace
}  // namespace nerolin::test
