// nerolin-tool doctor's smart-card check with a pcscd of the test's own and
// a CAC card that libcacard emulates in vpcd's first reader: the reader with
// its card's ATR, the card's name from the machine's card database, and the
// alternative provider that name leads to. (The dead service is in
// DoctorTest: a socket where nothing listens.)

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "tests/providers/pcsc/PrivatePcscd.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempHome.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;

const std::string kTool = NEROLIN_BINARY_DIR "/bin/nerolin-tool";
const std::string kCard = NEROLIN_BINARY_DIR "/bin/nerolin-cacard-card";

// The "cards" check of one doctor run, as value|verdict|note per detail.
std::vector<std::string> CardDetails(const TempHome& home, std::string& verdict)
{
    ChildProcess child(kTool, {"doctor", "--json"},
                       {{"LANGUAGE", "en"}, {"NEROLIN_TEST_WHITELIST_URL", "https://127.0.0.1:9/whitelist.json"}},
                       home.root());
    EXPECT_EQ(child.Wait(std::chrono::seconds(120)) >= 0, true);
    rapidjson::Document report;
    report.Parse(child.Stdout().c_str());
    std::vector<std::string> details;
    if (report.HasParseError() || !report.IsObject()) {
        ADD_FAILURE() << child.Stdout() << child.Stderr();
        return details;
    }
    for (const auto& check : report["checks"].GetArray()) {
        if (std::string(check["id"].GetString()) != "cards") continue;
        verdict = check["verdict"].GetString();
        for (const auto& detail : check["details"].GetArray())
            details.push_back(std::string(detail["item"].GetString()) + ": " + detail["value"].GetString() + "|" +
                              (detail.HasMember("note") ? detail["note"].GetString() : ""));
    }
    return details;
}

TEST(DoctorCardsTest, AVirtualReaderShowsItsCardTheCardsNameAndItsAlternativeProvider)
{
    PrivatePcscd pcscd;
    if (!pcscd.Unavailable().empty()) GTEST_SKIP() << pcscd.Unavailable();
    if (access(kCard.c_str(), X_OK) != 0) GTEST_SKIP() << "no emulated card (package libcacard-dev)";
    TempHome home;

    // The card's contents: a certificate and key in an NSS database of its own.
    const fs::path card = home.root() / "card";
    fs::create_directories(card);
    std::ofstream(home.root() / "pin") << "1234\n";
    const std::string database = "sql:" + card.string();
    const std::string made = "certutil -N -d " + database + " -f " + (home.root() / "pin").string() +
                             " >/dev/null 2>&1 && pk12util -i " + SigningIdentity("rsa").pkcs12 + " -d " + database +
                             " -W '' -k " + (home.root() / "pin").string() + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(made.c_str()), 0) << made;
    ASSERT_TRUE(pcscd.Start()) << pcscd.Log();
    Child emulated({kCard, card.string(), std::to_string(pcscd.port()), "rsa"}, home.root() / "card.log");

    // The first reader holds the card once the emulator has connected to vpcd.
    std::string verdict;
    std::vector<std::string> details;
    const std::string reader = std::string("reader: ") + PrivatePcscd::kReader + ": ";
    ASSERT_TRUE(Eventually(
        [&] {
            details = CardDetails(home, verdict);
            return !details.empty() && details.front().rfind(reader, 0) == 0 &&
                   details.front().find("|no card") == std::string::npos;
        },
        std::chrono::seconds(30)))
        << (details.empty() ? std::string() : details.front()) << "\ncard:\n"
        << ReadAll(home.root() / "card.log") << "\npcscd:\n"
        << pcscd.Log();
    EXPECT_EQ(verdict, "ok");
    const std::string atr = details.front().substr(reader.size(), details.front().find('|') - reader.size());
    ASSERT_FALSE(atr.empty());
    EXPECT_EQ(details.front(), reader + atr + "|not in the card database");
    EXPECT_EQ(details.at(1), "alternative: NSS|");
    EXPECT_EQ(details.at(2), std::string("reader: ") + PrivatePcscd::kSecondReader + "|no card");

    // Named in the machine's card database as a card the alternative choice
    // hands to its maker's module.
    TempHome::WriteFile(home.MachineSettings(),
                        "[SmartCards]\nCard1=" + atr + " " + std::string(atr.size(), 'F') + " Classic TPC\n");
    details = CardDetails(home, verdict);
    ASSERT_GE(details.size(), 2u);
    EXPECT_EQ(details.at(0), reader + atr + " \"Classic TPC\"|");
    EXPECT_EQ(details.at(1), "alternative: PKCS#11 libgclib.so|");
}

}  // namespace
}  // namespace nerolin::test
