// Whole runs of the nerolin program: each signing mode to a verdict of the
// reference service, the user's refusals, and the failures a user meets.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/DevService.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;

const DevService& Service()
{
    static DevService service;
    return service;
}

struct Settings {
    int startImmediately = 1;
    int autoClose = 1;
};

// One run of the program in a home of its own, with its NSS database.
class AgentRun {
public:
    AgentRun(const std::string& tokenOptions, const Settings& settings = {})
    {
        char pattern[] = "/tmp/nerolin-e2e-XXXXXX";
        root_ = mkdtemp(pattern);
        fs::create_directories(root_ / "config/Tavorel");
        token_ = MakeTestToken((root_ / "token").string(), tokenOptions);
        std::ofstream(root_ / "config/Tavorel/Nerolin.conf")
            << "[General]\nStartSigningImmediately=" << settings.startImmediately
            << "\nAutomaticallyCloseApplicationWhenProcessFinished=" << settings.autoClose
            << "\nSkipUpdateCheckOnEnd=1\nCertificateDatabase=" << (token_ ? token_->nssDb : "") << "\n";
    }
    ~AgentRun() { fs::remove_all(root_); }

    bool Ready() const { return token_.has_value(); }

    // Runs nerolin on the link with these answers; its exit status.
    int Run(const std::string& link, const std::vector<std::string>& answers)
    {
        std::ofstream script(root_ / "answers");
        for (const auto& answer : answers) {
            script << answer << "\n";
        }
        script.close();
        const std::string home = root_.string();
        EnvironmentChanges environment = {
            {"QT_QPA_PLATFORM", "offscreen"},
            {"DISPLAY", std::nullopt},
            {"WAYLAND_DISPLAY", std::nullopt},
            {"LANGUAGE", "en"},
            {"HOME", home},
            {"XDG_CONFIG_HOME", home + "/config"},
            {"XDG_DATA_HOME", home + "/data"},
            {"XDG_STATE_HOME", home + "/state"},
            // Nothing of the machine: no system-wide handler entry, no machine settings.
            {"XDG_DATA_DIRS", home + "/usr/share"},
            {"XDG_CONFIG_DIRS", home + "/etc/xdg"},
            {"XDG_RUNTIME_DIR", home},
            {"SSL_CERT_FILE", Service().SslCertFile()},
            {"NEROLIN_TEST_WHITELIST_URL", Service().WhitelistUrl()},
            {"SOFTHSM2_CONF", token_->softhsmConf},
            {"NEROLIN_TEST_PROMPTS", home + "/answers"},
            {"NEROLIN_TEST_TRANSCRIPT", home + "/transcript"},
        };
        ChildProcess child(NEROLIN_BINARY_DIR "/bin/nerolin", {link}, environment, root_);
        const int status = child.Wait(std::chrono::seconds(90));
        stderr_ = child.Stderr();
        return status;
    }

    // The prompts the program showed, one line each.
    std::vector<std::string> Transcript() const
    {
        std::vector<std::string> lines;
        std::ifstream file(root_ / "transcript");
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    const std::string& Stderr() const { return stderr_; }

private:
    fs::path root_;
    std::optional<TestToken> token_;
    std::string stderr_;
};

rapidjson::Document Report(const std::string& sessionId)
{
    rapidjson::Document report;
    const auto text = Service().SessionReport(sessionId);
    report.Parse(text ? text->c_str() : "{}");
    return report;
}

bool Cancelled(const rapidjson::Document& report)
{
    return report.HasMember("cancelled") && report["cancelled"].IsBool() && report["cancelled"].GetBool();
}

bool AllVerified(const rapidjson::Document& report)
{
    if (!report.HasMember("documents") || !report["documents"].IsArray() || report["documents"].Empty()) {
        return false;
    }
    for (const auto& document : report["documents"].GetArray()) {
        if (!document.HasMember("signatureValid") || !document["signatureValid"].IsBool() ||
            !document["signatureValid"].GetBool()) {
            return false;
        }
    }
    return true;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) {
        text += line + "\n";
    }
    return text;
}

class Agent : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Service().Running()) << Service().Log(); }
};

TEST_F(Agent, SignModeWithASoftwareTokenKeySignsWithoutAQuestion)
{
    AgentRun run("--no-softhsm --nss-certs rsa");
    ASSERT_TRUE(run.Ready());
    const auto session = Service().CreateSession(R"({"mode":"SIGN","certificate":"rsa"})");
    ASSERT_TRUE(session);
    EXPECT_EQ(run.Run(session->link, {}), 0) << run.Stderr();
    const auto report = Report(session->sessionId);
    EXPECT_TRUE(AllVerified(report)) << Service().SessionReport(session->sessionId).value_or("");
    EXPECT_FALSE(Cancelled(report));
    EXPECT_TRUE(run.Transcript().empty()) << Joined(run.Transcript());
}

TEST_F(Agent, ChoosingACertificateOnTheTokenAndTypingItsPinSignsEveryDocument)
{
    AgentRun run("--token-certs rsa");
    ASSERT_TRUE(run.Ready());
    const auto session = Service().CreateSession(
        R"({"mode":"SELECT_CERTIFICATE_AND_SIGN","pendingPolls":1,"documents":[{"name":"a.pdf"},{"name":"b.pdf"},{"name":"c.pdf"}]})");
    ASSERT_TRUE(session);
    EXPECT_EQ(run.Run(session->link, {"certificate 0", "pin 1234"}), 0) << run.Stderr();
    const auto report = Report(session->sessionId);
    EXPECT_TRUE(AllVerified(report)) << Service().SessionReport(session->sessionId).value_or("");
    const auto transcript = run.Transcript();
    EXPECT_NE(std::find(transcript.begin(), transcript.end(), "certificate 1"), transcript.end());
    EXPECT_NE(std::find(transcript.begin(), transcript.end(), "pin Nerolin Test Token"), transcript.end());
}

// A qualified-signature card's key asks for its own PIN at every use: the
// token's PIN and the key's are asked once each for the whole session.
TEST_F(Agent, KeyWithItsOwnPinIsAskedOnceForFourDocuments)
{
    AgentRun run("--token-certs qc-esign --always-auth qc-esign");
    ASSERT_TRUE(run.Ready());
    const auto session = Service().CreateSession(
        R"({"mode":"SELECT_CERTIFICATE_AND_SIGN","documents":[{"name":"a.pdf"},{"name":"b.pdf"},{"name":"c.pdf"},{"name":"d.pdf"}]})");
    ASSERT_TRUE(session);
    EXPECT_EQ(run.Run(session->link, {"certificate 0", "pin 1234", "pin 1234"}), 0) << run.Stderr();
    EXPECT_TRUE(AllVerified(Report(session->sessionId))) << Service().SessionReport(session->sessionId).value_or("");
    EXPECT_EQ(Joined(run.Transcript()), "certificate 1\npin Nerolin Test Token\nkey-pin qc-esign\n");
}

TEST_F(Agent, SelectCertificateModeHandsTheChosenCertificateToTheService)
{
    AgentRun run("--no-softhsm --nss-certs ec");
    ASSERT_TRUE(run.Ready());
    const auto session = Service().CreateSession(R"({"mode":"SELECT_CERTIFICATE"})");
    ASSERT_TRUE(session);
    EXPECT_EQ(run.Run(session->link, {"certificate 0"}), 0) << run.Stderr();
    const auto report = Report(session->sessionId);
    ASSERT_TRUE(report.HasMember("certificate"));
    EXPECT_TRUE(report["certificate"].IsString());
    EXPECT_FALSE(Cancelled(report));
    EXPECT_EQ(Joined(run.Transcript()), "certificate 1\n");
}

TEST_F(Agent, RefusalsAndFailuresEndWithTheirMessageACancelAtTheServiceAndTheirStatus)
{
    struct Case {
        const char* name;
        const char* tokenOptions;
        const char* request;
        std::vector<std::string> answers;
        const char* message;  // the transcript's message line, "" for none
        int status;           // 2: the session failed, 3: it was canceled
    };
    const Case cases[] = {
        {"certificate choice closed", "--no-softhsm --nss-certs rsa", "{}", {"certificate-cancel"}, "", 3},
        {"certificate not in the store",
         "--no-softhsm --nss-certs rsa",
         R"({"mode":"SIGN","certificate":"ec"})",
         {},
         "message error Certificate not found!",
         2},
        {"wrong PIN",
         "--token-certs rsa",
         "{}",
         {"certificate 0", "pin 0000", "pin 0001"},
         "message error Bad PIN code!",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AgentRun run(c.tokenOptions);
        ASSERT_TRUE(run.Ready());
        const auto session = Service().CreateSession(c.request);
        ASSERT_TRUE(session);
        EXPECT_EQ(run.Run(session->link, c.answers), c.status) << run.Stderr();
        std::vector<std::string> messages;
        for (const auto& line : run.Transcript()) {
            if (line.rfind("message ", 0) == 0) {
                messages.push_back(line);
            }
        }
        if (std::string(c.message).empty()) {
            EXPECT_TRUE(messages.empty()) << Joined(messages);
        } else {
            // The provider may report the library's own text first.
            ASSERT_FALSE(messages.empty());
            EXPECT_EQ(messages.back(), c.message) << Joined(run.Transcript());
        }
        EXPECT_TRUE(Cancelled(Report(session->sessionId)));
    }
}

// The link started again just after its window closed (clicked twice, or
// opened twice by a browser): the start ends at once with the status of the
// run that ended the session, without a window or a message.
TEST_F(Agent, ALateStartOfAnEndedSessionEndsQuietlyWithItsStatus)
{
    struct Case {
        const char* name;
        const char* request;
        std::vector<std::string> answers;
        int status;
    };
    const Case cases[] = {
        {"finished", R"({"mode":"SIGN","certificate":"rsa"})", {}, 0},
        {"canceled", "{}", {"certificate-cancel"}, 3},
        {"failed while signing", R"({"mode":"SIGN","certificate":"ec"})", {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AgentRun run("--no-softhsm --nss-certs rsa");
        ASSERT_TRUE(run.Ready());
        const auto session = Service().CreateSession(c.request);
        ASSERT_TRUE(session);
        ASSERT_EQ(run.Run(session->link, c.answers), c.status) << run.Stderr();
        const std::size_t shown = run.Transcript().size();

        EXPECT_EQ(run.Run(session->link, {}), c.status) << run.Stderr();
        EXPECT_EQ(run.Transcript().size(), shown) << Joined(run.Transcript());
        EXPECT_EQ(run.Stderr(), "");
    }
}

}  // namespace
}  // namespace nerolin::test
