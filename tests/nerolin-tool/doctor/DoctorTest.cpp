// nerolin-tool doctor run as support runs it, on real parts: a scratch home,
// the reference service's whitelist host with right and wrong chains,
// SoftHSM tokens behind the locking module, event stores whole and damaged.
// The JSON report is read back as a machine would read it.

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "eventlog/EventStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DevService.h"
#include "tests/support/NssDatabase.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;

const std::string kTool = NEROLIN_BINARY_DIR "/bin/nerolin-tool";
const std::vector<std::string> kCheckIds = {"program", "handler", "settings", "network", "tokens", "cards", "eventlog"};

struct DoctorRun {
    int status = -1;
    std::string out;
    std::string err;
    rapidjson::Document json;

    // The check with this id; fails the test when the report lacks it.
    const rapidjson::Value& Check(const std::string& id) const
    {
        static const rapidjson::Value kNone(rapidjson::kObjectType);
        if (!json.IsObject() || !json.HasMember("checks")) return kNone;
        for (const auto& check : json["checks"].GetArray())
            if (check["id"].GetString() == id) return check;
        ADD_FAILURE() << "no check " << id << " in " << out;
        return kNone;
    }
    std::string Verdict(const std::string& id) const
    {
        const auto& check = Check(id);
        return check.HasMember("verdict") ? check["verdict"].GetString() : "";
    }
    // The details of a check with this item, as "value|verdict|note".
    std::vector<std::string> Details(const std::string& id, const std::string& item) const
    {
        std::vector<std::string> found;
        const auto& check = Check(id);
        if (!check.HasMember("details")) return found;
        for (const auto& detail : check["details"].GetArray()) {
            if (detail["item"].GetString() != item) continue;
            std::string text = detail["value"].GetString();
            text += std::string("|") + (detail.HasMember("verdict") ? detail["verdict"].GetString() : "");
            text += std::string("|") + (detail.HasMember("note") ? detail["note"].GetString() : "");
            found.push_back(text);
        }
        return found;
    }
    bool AnyDetailContains(const std::string& id, const std::string& item, const std::string& text) const
    {
        for (const std::string& detail : Details(id, item))
            if (detail.find(text) != std::string::npos) return true;
        return false;
    }
};

// The home's settings, no PC/SC service (its socket is a path where none
// listens) and a whitelist host where none listens, unless changes say
// otherwise.
DoctorRun Doctor(const TempHome& home, std::vector<std::string> arguments, EnvironmentChanges changes = {})
{
    EnvironmentChanges environment = {
        {"LANGUAGE", "en"},
        {"LC_ALL", "C.UTF-8"},
        {"PCSCLITE_CSOCK_NAME", (home.root() / "run/no-pcscd.comm").string()},
        {"NEROLIN_TEST_WHITELIST_URL", "https://127.0.0.1:9/whitelist/whitelist.json"},
        {"SSL_CERT_FILE", std::nullopt},
    };
    for (auto& [name, value] : changes) environment[name] = value;
    const bool json = std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
    arguments.insert(arguments.begin(), "doctor");
    ChildProcess child(kTool, arguments, environment, home.root());
    DoctorRun run;
    run.status = child.Wait(std::chrono::seconds(120));
    run.out = child.Stdout();
    run.err = child.Stderr();
    if (json) run.json.Parse(run.out.c_str());
    return run;
}

TEST(DoctorTest, AScratchHomeGetsTheDocumentedShapeInBothLanguagesAndFixRegistersTheHandler)
{
    TempHome home;
    const DoctorRun first = Doctor(home, {"--json"});
    ASSERT_FALSE(first.json.HasParseError()) << first.out << first.err;
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(first.json["version"].GetInt(), 1);
    EXPECT_TRUE(first.json["blocked"].GetBool());
    std::vector<std::string> ids;
    for (const auto& check : first.json["checks"].GetArray()) {
        ids.push_back(check["id"].GetString());
        const std::string verdict = check["verdict"].GetString();
        EXPECT_TRUE(verdict == "ok" || verdict == "warning" || verdict == "error") << verdict;
        EXPECT_EQ(check["blocks"].GetBool(), verdict == "error" && ids.back() != "eventlog") << ids.back();
        EXPECT_FALSE(std::string(check["title"].GetString()).empty());
        EXPECT_FALSE(std::string(check["summary"].GetString()).empty()) << ids.back();
        for (const auto& detail : check["details"].GetArray()) {
            EXPECT_TRUE(detail["item"].IsString() && detail["value"].IsString()) << ids.back();
        }
    }
    EXPECT_EQ(ids, kCheckIds);

    // Nothing was ever set up here: no handler, no whitelist host, no NSS
    // database (left uncreated), no PC/SC service, no event store yet.
    EXPECT_EQ(first.Verdict("program"), "ok");
    EXPECT_EQ(first.Verdict("handler"), "error");
    EXPECT_TRUE(first.AnyDetailContains("handler", "problem", "can't read yendo key"));
    EXPECT_EQ(first.Verdict("settings"), "ok");
    EXPECT_EQ(first.Verdict("network"), "error");
    EXPECT_EQ(first.Verdict("tokens"), "warning");
    EXPECT_FALSE(fs::exists(home.root() / "home/.pki/nssdb"));
    EXPECT_EQ(first.Verdict("cards"), "warning");
    EXPECT_EQ(first.Verdict("eventlog"), "ok");
    // The doctor's own trial runs stay out of the user's event log, and
    // without --fix it leaves no folder behind either.
    EXPECT_FALSE(fs::exists(home.root() / "home/.local/state/Tavorel/Nerolin/eventlog.sqlite"));
    EXPECT_FALSE(fs::exists(home.root() / "home/.config/Tavorel"));

    const DoctorRun fixed = Doctor(home, {"--fix", "--json"});
    EXPECT_EQ(fixed.Verdict("handler"), "ok") << fixed.out;
    const fs::path entry = home.root() / "home/.local/share/applications/nerolin.desktop";
    EXPECT_EQ(fixed.Details("handler", "desktopEntry"), std::vector<std::string>{entry.string() + "||"});
    EXPECT_EQ(Doctor(home, {"--json"}).Verdict("handler"), "ok");

    const std::pair<const char*, std::vector<const char*>> texts[] = {
        {"en", {"[ERROR] 4. The network: ", "[OK] 2. The yendo: handler: ", "Something blocks a signature"}},
        {"hu", {"[HIBA] 4. A hálózat: ", "[RENDBEN] 2. A yendo: hivatkozások kezelője: ", "Valami akadályozza"}},
    };
    for (const auto& [language, lines] : texts) {
        const DoctorRun text = Doctor(home, {}, {{"LANGUAGE", language}});
        EXPECT_EQ(text.status, 1) << language;
        for (const char* line : lines)
            EXPECT_NE(text.out.find(line), std::string::npos) << language << ":\n" << text.out;
    }
}

TEST(DoctorTest, WrongArgumentsEndWithStatusTwoAndNoReport)
{
    TempHome home;
    const std::vector<std::string> cases[] = {
        {"--nonsense"}, {"--service-url"}, {"--filters", (home.root() / "missing.json").string()}, {"--json", "x"}};
    for (const auto& arguments : cases) {
        const DoctorRun run = Doctor(home, arguments);
        EXPECT_EQ(run.status, 2) << arguments[0];
        EXPECT_EQ(run.out, "") << arguments[0];
        EXPECT_NE(run.err, "") << arguments[0];
    }
}

TEST(DoctorTest, SettingsShowTheirFileAndFlagWhatTheProgramDoesNotRead)
{
    TempHome home;
    TempHome::WriteFile(home.UserSettings(),
                        "[General]\nCheckCertificateValidity=0\nProxyURL=http://user-proxy:3128\n"
                        "ProxyPassword=@ByteArray(not protected by this user)\nProxyUrll=http://typo\n");
    TempHome::WriteFile(home.MachineSettings(),
                        "[General]\nAppcastURL=https://updates.example/feed.xml\nStartSigningImmediately=1\n"
                        "[SmartCards]\nCard1=3B00 FF00 Some Card\n");
    const DoctorRun run = Doctor(home, {"--json"});
    EXPECT_EQ(run.Verdict("settings"), "warning") << run.out;
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"setting", "CheckCertificateValidity = 0 (user)||"},
        {"setting", "StartSigningImmediately = 0 (default)||"},  // a per-user value: the machine's is not read
        {"setting", "AppcastURL = \"https://updates.example/feed.xml\" (machine)||"},
        {"setting", "ProxyURL = \"http://user-proxy:3128\" (user)||"},
        {"setting", "SmartCards/Card1 = \"3B00 FF00 Some Card\" (machine)||"},
        {"setting", "ProxyPassword = stored, not readable (user)|warning|stored but not readable"},
        {"unknownSetting", "ProxyUrll (user)|warning|not read by the program"},
        {"unknownSetting", "StartSigningImmediately (machine)|warning|not read by the program"},
    };
    for (const auto& [item, detail] : expected) {
        const auto details = run.Details("settings", item);
        EXPECT_NE(std::find(details.begin(), details.end(), detail), details.end()) << detail << "\n" << run.out;
    }
    // The password itself never appears, readable or not, and the failed
    // unprotection is not logged into the user's event log.
    EXPECT_EQ(run.out.find("not protected by this user"), std::string::npos);
    EXPECT_FALSE(fs::exists(home.root() / "home/.local/state/Tavorel/Nerolin/eventlog.sqlite"));
}

TEST(DoctorTest, TheWhitelistHostIsJudgedAsASigningRunJudgesIt)
{
    struct Case {
        const char* certificate;
        const char* verdict;
        const char* logEntry;  // a text that one of the entries carries
    };
    const Case cases[] = {
        {"host-2848-root2", "ok", nullptr},
        {"host-2866-root3", "ok", "Root certificate is issued by Orvane (prod)!"},
        // The host sends its chain without the root: the test names where it ended.
        {"host-2848-other-root", "error", "Root certificate is not issued by Tavorel! Subject DN of certificate: "},
        {"host-wrong-id-root2", "error", "End certificate is not issued to Tavorel"},
    };
    for (const Case& tested : cases) {
        SCOPED_TRACE(tested.certificate);
        DevService service({.whitelistCertificate = tested.certificate});
        ASSERT_TRUE(service.Running()) << service.Log();
        TempHome home;
        const DoctorRun run = Doctor(home, {"--json"}, {{"NEROLIN_TEST_WHITELIST_URL", service.WhitelistUrl()}});
        EXPECT_EQ(run.Verdict("network"), tested.verdict) << run.out;
        if (tested.logEntry) {
            EXPECT_TRUE(run.AnyDetailContains("network", "logEntry", tested.logEntry)) << run.out;
        }
        if (std::string(tested.verdict) == "ok") {
            EXPECT_EQ(run.Details("network", "hosts"), std::vector<std::string>{"2||"});
        }
    }
}

TEST(DoctorTest, TheServiceHostIsLookedUpOnTheWhitelistAndItsChainPutToTheSystemsTrust)
{
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    TempHome home;
    const std::string listed = service.ServiceUrl() + "/session";
    const std::string unlisted = "https://127.0.0.2:" + std::to_string(service.ServicePort()) + "/session";
    struct Case {
        std::string url;
        std::optional<std::string> sslCertFile;
        const char* verdict;
        std::string host;
        std::string tls;
    };
    const Case cases[] = {
        {listed, service.SslCertFile(), "ok", "127.0.0.1|ok|on the whitelist", "127.0.0.1|ok|trusted by the system"},
        {listed, std::string(NEROLIN_SOURCE_DIR "/testdata/pki/roots/other-root.pem"), "warning",
         "127.0.0.1|ok|on the whitelist", "127.0.0.1|warning|not trusted by the system"},
        {unlisted, service.SslCertFile(), "error", "127.0.0.2|error|not on the whitelist", ""},
    };
    for (const Case& tested : cases) {
        SCOPED_TRACE(tested.url);
        const DoctorRun run =
            Doctor(home, {"--service-url", tested.url, "--json"},
                   {{"NEROLIN_TEST_WHITELIST_URL", service.WhitelistUrl()}, {"SSL_CERT_FILE", tested.sslCertFile}});
        EXPECT_EQ(run.Verdict("network"), tested.verdict) << run.out;
        EXPECT_EQ(run.Details("network", "serviceHost"), std::vector<std::string>{tested.host}) << run.out;
        if (!tested.tls.empty()) {
            EXPECT_EQ(run.Details("network", "serviceTls"), std::vector<std::string>{tested.tls});
        }
    }
}

TEST(DoctorTest, TokensShowThePinStateAndTheFilterWithoutALogin)
{
    NssDatabaseOptions options;
    options.hardwareTokenIdentities = {"rsa", "qc-esign"};
    options.lockingModule = true;
    options.lockingLimit = 3;
    NssDatabase database(options);
    ASSERT_TRUE(database.ok()) << database.error();
    TempHome home;
    TempHome::WriteFile(home.UserSettings(), "[General]\nCertificateDatabase=" + database.spec() + "\n");
    const fs::path qualified = home.root() / "qualified.json";
    TempHome::WriteFile(qualified, R"([{"qcType": "YENDO"}])");
    const fs::path nothing = home.root() / "nothing.json";
    TempHome::WriteFile(nothing, R"([{"fingerprint": "00"}])");

    EnvironmentChanges environment;
    for (const std::string& word : database.Environment())
        environment[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);

    struct Case {
        const char* wrongPins;  // already typed on the token before the doctor looks
        std::vector<std::string> arguments;
        const char* verdict;
        const char* tokenNote;
    };
    const Case cases[] = {
        {"0", {"--filters", qualified.string()}, "ok", "login required"},
        {"1", {}, "warning", "few PIN tries left"},
        {"2", {}, "warning", "last PIN try"},
        {"3", {}, "error", "PIN locked"},
        {"0", {"--filters", nothing.string()}, "error", "login required"},
    };
    for (const Case& tested : cases) {
        SCOPED_TRACE(std::string(tested.wrongPins) + (tested.arguments.empty() ? "" : " " + tested.arguments[1]));
        environment["NEROLIN_LOCKING_START_WRONG"] = tested.wrongPins;
        std::vector<std::string> arguments = tested.arguments;
        arguments.push_back("--json");
        const DoctorRun run = Doctor(home, arguments, environment);
        EXPECT_EQ(run.Verdict("tokens"), tested.verdict) << run.status << run.out << run.err;
        EXPECT_TRUE(run.AnyDetailContains("tokens", "token", std::string(NssDatabase::kTokenLabel))) << run.out;
        EXPECT_TRUE(run.AnyDetailContains("tokens", "token", tested.tokenNote)) << run.out;
        EXPECT_TRUE(run.AnyDetailContains("tokens", "module", NssDatabase::kLockingModuleName)) << run.out;
        const auto certificates = run.Details("tokens", "certificate");
        EXPECT_EQ(certificates.size(), 2u) << run.out;
        if (tested.arguments.empty()) continue;
        const bool noneShouldPass = tested.arguments[1] == nothing.string();
        EXPECT_EQ(run.AnyDetailContains(
                      "tokens", "certificate",
                      "Nerolin Test qc-esign (" + std::string(NssDatabase::kTokenLabel) + ")|ok|passes the filter"),
                  !noneShouldPass)
            << run.out;
        EXPECT_EQ(run.AnyDetailContains("tokens", "certificate", "fails: qcType"), !noneShouldPass) << run.out;
        EXPECT_EQ(run.AnyDetailContains("tokens", "certificate", "fails: fingerprint"), noneShouldPass) << run.out;
    }
}

TEST(DoctorTest, TheEventStoreIsReadAsItIsAndADamagedOneIsNotRepaired)
{
    TempHome home;
    const fs::path store = home.root() / "home/.local/state/Tavorel/Nerolin/eventlog.sqlite";
    {
        auto writer = EventStore::OpenForWriting(store.string());
        ASSERT_TRUE(writer);
        for (int i = 0; i < 25; ++i) {
            ASSERT_TRUE(writer->Append("Nerolin", 1700000000 + i, 1, {"failure " + std::to_string(i)}));
            ASSERT_TRUE(writer->Append("Nerolin", 1700000000 + i, 4, {"information " + std::to_string(i)}));
        }
        ASSERT_TRUE(writer->Append("Another Source", 1700000100, 1, {"not ours"}));
    }
    const DoctorRun healthy = Doctor(home, {"--json"});
    EXPECT_EQ(healthy.Verdict("eventlog"), "ok") << healthy.out;
    EXPECT_EQ(healthy.Details("eventlog", "entries"), std::vector<std::string>{"50||"});
    const auto errors = healthy.Details("eventlog", "errorEntry");
    ASSERT_EQ(errors.size(), 20u) << healthy.out;
    EXPECT_NE(errors.front().find("failure 24"), std::string::npos) << errors.front();
    EXPECT_NE(errors.back().find("failure 5"), std::string::npos) << errors.back();

    // Pages of garbage after the header: SQLite opens it, the check finds it.
    {
        std::fstream file(store, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096);
        file << std::string(8192, '\x5A');
    }
    const std::string damaged = TempHome::ReadFile(store);
    const DoctorRun run = Doctor(home, {"--json"});
    EXPECT_EQ(run.Verdict("eventlog"), "error") << run.out;
    EXPECT_FALSE(run.Check("eventlog")["blocks"].GetBool());
    EXPECT_EQ(TempHome::ReadFile(store), damaged);
    EXPECT_FALSE(fs::exists(store.string() + ".broken"));
}

}  // namespace
}  // namespace nerolin::test
