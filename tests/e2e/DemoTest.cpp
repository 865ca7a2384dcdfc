// The unattended demo is the smoke test of the whole product: the reference
// service, a real NSS database, the real window on a private Xvfb display,
// and the service's verdict.

#include <filesystem>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"

namespace nerolin::test {
namespace {

std::string Captured(const std::string& output, const std::string& label)
{
    const auto at = output.find(label);
    if (at == std::string::npos) {
        return {};
    }
    const auto start = at + label.size();
    return output.substr(start, output.find('\n', start) - start);
}

TEST(Demo, UnattendedRunSignsEveryDocumentAndSaysWhereItsTracesAre)
{
    char pattern[] = "/tmp/nerolin-e2e-demo-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    ChildProcess demo(NEROLIN_SOURCE_DIR "/scripts/demo", {"--unattended"},
                      {{"NEROLIN_BUILD_DIR", NEROLIN_BINARY_DIR}, {"NEROLIN_DEMO_PORTS", "free"}}, folder);
    EXPECT_EQ(demo.Wait(std::chrono::seconds(240)), 0) << demo.Stdout() << demo.Stderr();
    const std::string output = demo.Stdout();

    EXPECT_NE(output.find("contract.pdf: signature verified"), std::string::npos) << output;
    EXPECT_NE(output.find("annex.pdf: signature verified"), std::string::npos) << output;
    EXPECT_TRUE(std::regex_search(output, std::regex("Session took [0-9.]+ s"))) << output;
    const std::string screenshot = Captured(output, "Screenshot: ");
    const std::string eventLog = Captured(output, "Event log export: ");
    EXPECT_TRUE(std::filesystem::is_regular_file(screenshot)) << output;
    EXPECT_TRUE(std::filesystem::is_regular_file(eventLog)) << output;
    if (!screenshot.empty()) {
        std::filesystem::remove_all(std::filesystem::path(screenshot).parent_path());
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace nerolin::test
