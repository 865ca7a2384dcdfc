// The real nerolin-tool binary, as a service developer runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/PipedChild.h"
#include "tests/support/Portable.h"
#include "tests/support/TestPki.h"

namespace nerolin {
namespace {

using Arguments = std::vector<std::string>;

test::ProgramRun RunTool(Arguments arguments, test::ReadStream read = test::ReadStream::Output)
{
    arguments.insert(arguments.begin(), "filter");
    return test::RunProgram(NEROLIN_BINARY_DIR "/bin/nerolin-tool", arguments, read);
}

class FilterCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = test::MakeUniqueFolder(std::filesystem::temp_directory_path(), "nerolin-filter-");
        ASSERT_FALSE(directory_.empty());
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::string WriteFilters(const std::string& name, const std::string& json)
    {
        const std::string path = directory_ + "/" + name;
        std::ofstream(path, std::ios::binary) << json;
        return path;
    }

    std::string directory_;
};

std::string Signing(const char* file) { return test::PkiPath(std::string("signing/") + file); }

TEST_F(FilterCommand, ReportsPassFailAndRefusals)
{
    const std::string qualified =
        WriteFilters("q.json", R"([{"qcType": "YENDO"}, {"keyUsage": {"keyEncipherment": true}}])");
    const std::string notArray = WriteFilters("o.json", R"({"qcType": "YENDO"})");
    const std::string notJson = WriteFilters("x.json", "[{");
    const std::string tooDeep = WriteFilters("d.json", std::string(1000000, '[') + std::string(1000000, ']'));
    const std::string zeroByte = WriteFilters("z.json", std::string("[]\0[{\"qcType\":1}]", 17));
    const struct {
        Arguments arguments;
        int status;
        std::string output;
    } cases[] = {
        {{"--filters", qualified, Signing("qc-esign.pem"), "--check-validity"}, 0, "pass\n"},
        {{"--filters", qualified, Signing("rsa.der")},
         1,
         "fail\nfilters[0]: qcType\nfilters[1]: keyUsage.keyEncipherment\n"},
        {{"--check-validity", "--filters", WriteFilters("e.json", "[]"), Signing("expired.pem")},
         1,
         "fail\nvalidity: expired\n"},
        {{"--filters", notArray, Signing("rsa.der")}, 2, ""},
        {{"--filters", notJson, Signing("rsa.der")}, 2, ""},
        {{"--filters", tooDeep, Signing("rsa.der")}, 2, ""},
        {{"--filters", zeroByte, Signing("rsa.der")}, 2, ""},
        {{"--filters", directory_ + "/missing.json", Signing("rsa.der")}, 2, ""},
        {{"--filters", qualified, directory_ + "/missing.pem"}, 2, ""},
        {{"--filters", qualified}, 2, ""},
    };
    for (const auto& c : cases) {
        const test::ProgramRun run = RunTool(c.arguments);
        const std::string shown = testing::PrintToString(c.arguments);
        EXPECT_EQ(run.status, c.status) << shown;
        EXPECT_EQ(run.text, test::WithSystemLineEnds(c.output)) << shown;
    }
}

// A typo in a criterion lets every certificate through; the verdict says
// pass, and the warning says why it may be a false one.
TEST_F(FilterCommand, WarnsOfMembersNerolinIgnores)
{
    const std::string path = directory_ + "/typo.json";
    std::ofstream(path) << R"([{"keyUsage": {"nonRepudation": true}}])";
    const test::ProgramRun run =
        RunTool({"--filters", path, Signing("rsa-encipherment.pem")}, test::ReadStream::Errors);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.text, test::WithSystemLineEnds("nerolin-tool: warning: " + path +
                                                 "[0].keyUsage.nonRepudation: unknown member, ignored\n"));
}

}  // namespace
}  // namespace nerolin
