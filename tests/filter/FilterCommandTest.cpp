// The real nerolin-tool binary, as a service developer runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/TestPki.h"

namespace nerolin {
namespace {

struct Outcome {
    int status = -1;
    std::string output;  // standard output only
};

Outcome RunTool(const std::string& arguments, const char* errors = "2>/dev/null")
{
    const std::string command =
        std::string("'") + NEROLIN_BINARY_DIR "/bin/nerolin-tool' filter " + arguments + " " + errors;
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return outcome;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) outcome.output += buffer;
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

class FilterCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/nerolin-filter-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::string WriteFilters(const std::string& name, const std::string& json)
    {
        const std::string path = directory_ + "/" + name;
        std::ofstream(path) << json;
        return "'" + path + "'";
    }

    std::string directory_;
};

std::string Signing(const char* file) { return "'" + test::PkiPath(std::string("signing/") + file) + "'"; }

TEST_F(FilterCommand, ReportsPassFailAndRefusals)
{
    const std::string qualified =
        WriteFilters("q.json", R"([{"qcType": "YENDO"}, {"keyUsage": {"keyEncipherment": true}}])");
    const std::string notArray = WriteFilters("o.json", R"({"qcType": "YENDO"})");
    const std::string notJson = WriteFilters("x.json", "[{");
    const std::string tooDeep = WriteFilters("d.json", std::string(1000000, '[') + std::string(1000000, ']'));
    const std::string zeroByte = WriteFilters("z.json", std::string("[]\0[{\"qcType\":1}]", 17));
    const struct {
        std::string arguments;
        int status;
        std::string output;
    } cases[] = {
        {"--filters " + qualified + " " + Signing("qc-esign.pem") + " --check-validity", 0, "pass\n"},
        {"--filters " + qualified + " " + Signing("rsa.der"), 1,
         "fail\nfilters[0]: qcType\nfilters[1]: keyUsage.keyEncipherment\n"},
        {"--check-validity --filters " + WriteFilters("e.json", "[]") + " " + Signing("expired.pem"), 1,
         "fail\nvalidity: expired\n"},
        {"--filters " + notArray + " " + Signing("rsa.der"), 2, ""},
        {"--filters " + notJson + " " + Signing("rsa.der"), 2, ""},
        {"--filters " + tooDeep + " " + Signing("rsa.der"), 2, ""},
        {"--filters " + zeroByte + " " + Signing("rsa.der"), 2, ""},
        {"--filters '" + directory_ + "/missing.json' " + Signing("rsa.der"), 2, ""},
        {"--filters " + qualified + " '" + directory_ + "/missing.pem'", 2, ""},
        {"--filters " + qualified, 2, ""},
    };
    for (const auto& c : cases) {
        const Outcome outcome = RunTool(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments;
        EXPECT_EQ(outcome.output, c.output) << c.arguments;
    }
}

// A typo in a criterion lets every certificate through; the verdict says
// pass, and the warning says why it may be a false one.
TEST_F(FilterCommand, WarnsOfMembersNerolinIgnores)
{
    const std::string path = directory_ + "/typo.json";
    std::ofstream(path) << R"([{"keyUsage": {"nonRepudation": true}}])";
    const Outcome outcome = RunTool("--filters '" + path + "' " + Signing("rsa-encipherment.pem"), "2>&1 >/dev/null");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output,
              "nerolin-tool: warning: " + path + "[0].keyUsage.nonRepudation: unknown member, ignored\n");
}

}  // namespace
}  // namespace nerolin
