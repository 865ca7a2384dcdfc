// Hostile texts for every JSON reader of the session: a million levels of
// nesting (which would overflow RapidJSON's recursion) and zero bytes (which
// would end its input early) are refused like any malformed text.

#include <functional>
#include <set>

#include <gtest/gtest.h>

#include "session/LaunchRequest.h"
#include "session/SigningSession.h"
#include "session/Whitelist.h"

namespace nerolin::test {
namespace {

using namespace std::string_literals;

constexpr int kLevels = 1000000;

// A text that is well-formed up to where the nesting begins.
std::string Deep(const std::string& head, char open = '[') { return head + std::string(kLevels, open); }

std::string DeepClosed(const std::string& head, const std::string& tail)
{
    return head + std::string(kLevels, '[') + std::string(kLevels, ']') + tail;
}

TEST(DeepNesting, EveryReaderRefusesAMillionLevels)
{
    using Reader = std::function<bool(const std::string&, SigningSession&)>;
    const std::pair<const char*, Reader> readers[] = {
        {"launch request", [](const std::string& text, SigningSession& s) { return s.ParseLaunchRequest(text); }},
        {"configuration", [](const std::string& text, SigningSession& s) { return ReadSessionConfig(text, s); }},
        {"unsigned-hash URL", [](const std::string& text, SigningSession& s) { return ReadUnsignedHashUrl(text, s); }},
        {"unsigned hashes", [](const std::string& text, SigningSession& s) { return ReadUnsignedHashes(text, s); }},
        {"result message", [](const std::string& text, SigningSession& s) { return ReadResultMessage(text, s); }},
        {"state", [](const std::string& text, SigningSession& s) { return ReadStateMessage(text, s); }},
        {"whitelist", [](const std::string& text, SigningSession& s) { return ReadWhitelist(text, s.whitelist); }},
    };
    const std::string texts[] = {
        Deep(""),
        Deep("", '{'),
        Deep(R"({"sessionId":"s","x":)"),
        DeepClosed(R"({"sessionId":"s","sessionUrl":"u","version":"1","x":)", "}"),
        Deep(R"({"sessionId":"s","x":)") + std::string(kLevels, ']'),
    };
    for (const auto& [name, read] : readers) {
        for (const std::string& text : texts) {
            SigningSession session;
            session.sessionId = "s";
            EXPECT_FALSE(read(text, session)) << name << ": " << text.substr(0, 40);
        }
    }
}

TEST(DeepNesting, AFilterNestedAMillionLevelsRefusesTheConfiguration)
{
    for (const SessionMode mode : {SessionMode::SelectCertificateMode, SessionMode::SelectCertificateAndSignMode}) {
        SigningSession session;
        session.sessionId = "s";
        session.mode = mode;
        const std::string head = R"({"sessionId":"s","version":"1","SPName":"P","message":"M",)"
                                 R"("documents":[{"documentId":"d","name":"n"}],"certificateUrl":"c","filters":)";
        EXPECT_FALSE(ReadSessionConfig(DeepClosed(head, "}"), session));
        EXPECT_TRUE(session.filter.empty());
        // Brackets inside strings are text, however many.
        EXPECT_TRUE(ReadSessionConfig(head + "[{\"serialNumber\":\"" + std::string(kLevels, '[') + "\"}]}", session));
    }
}

TEST(DeepNesting, AZeroByteIsNeverTheEndOfTheText)
{
    const std::string request = R"({"sessionUrl":"u","sessionId":"i"})";
    SigningSession session;
    EXPECT_TRUE(session.ParseLaunchRequest(request));

    // A link's %00 decodes to a zero byte: what follows it is not ignored.
    const auto json =
        LaunchJsonFromLink(u"yendo:" + std::u16string(request.begin(), request.end()) + u"%00trailing garbage");
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ(*json, request + "\0trailing garbage"s);
    SigningSession fromLink;
    EXPECT_FALSE(fromLink.ParseLaunchRequest(*json));
    EXPECT_FALSE(fromLink.hasLaunchRequest);
    EXPECT_FALSE(fromLink.ParseLaunchRequest(request + "\0"s));

    SigningSession answered;
    answered.sessionId = "s";
    EXPECT_FALSE(ReadResultMessage("{\"sessionId\":\"s\",\"code\":\"OK\"}\0{}"s, answered));
    std::set<std::string> hosts;
    EXPECT_FALSE(ReadWhitelist("[\"a\"]\0[\"b\"]"s, hosts));
}

}  // namespace
}  // namespace nerolin::test
