#include "platform/DesktopFile.h"

#include <gtest/gtest.h>

#include "platform/DesktopEntry.h"

namespace nerolin::test {
namespace {

TEST(DesktopFileTest, ExecArgumentsQuoteOnlyWhatNeedsItAndSplitBack)
{
    const std::pair<std::string, std::string> cases[] = {
        {"/usr/bin/nerolin", "/usr/bin/nerolin"},
        {"/opt/My Apps/nerolin", R"("/opt/My Apps/nerolin")"},
        {R"(/a"b$c`d\e)", R"("/a\\"b\\$c\\`d\\\\e")"},
    };
    for (const auto& [path, written] : cases) {
        EXPECT_EQ(QuoteExecArgument(path), written);
        auto arguments = SplitExec(UnescapeDesktopString(QuoteExecArgument(path) + " %u"));
        EXPECT_EQ(arguments, (std::vector<std::string>{path, "%u"})) << written;
    }
    EXPECT_EQ(SplitExec("  a  \"b c\"\t%u "), (std::vector<std::string>{"a", "b c", "%u"}));
    EXPECT_EQ(SplitExec("\"\" x"), (std::vector<std::string>{"", "x"}));
}

TEST(DesktopFileTest, RewritingKeepsOtherGroupsKeysAndComments)
{
    DesktopFile file = DesktopFile::FromText(
        "# mine\n[Added Associations]\ntext/plain=a.desktop;\n\n[Default Applications]\ntext/html=b.desktop\n");
    file.SetValue("Default Applications", "x-scheme-handler/yendo", "nerolin.desktop;");
    file.SetValue("Added Associations", "text/plain", "c.desktop;");
    EXPECT_EQ(file.Text(),
              "# mine\n[Added Associations]\ntext/plain=c.desktop;\n\n[Default Applications]\ntext/html=b.desktop\n"
              "x-scheme-handler/yendo=nerolin.desktop;\n");
    file.RemoveKey("Default Applications", "text/html");
    file.SetValue("New", "k", "v");
    EXPECT_EQ(file.Value("New", "k"), "v");
    EXPECT_EQ(file.Value("Default Applications", "text/html"), std::nullopt);
    EXPECT_EQ(SplitDesktopList("a;b\\;c;;d"), (std::vector<std::string>{"a", "b;c", "d"}));
}

}  // namespace
}  // namespace nerolin::test
