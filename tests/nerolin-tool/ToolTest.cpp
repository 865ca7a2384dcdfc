// nerolin-tool's link, parse-link and qr, run as the integrator runs them.

#include <QImage>

#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

const std::string kTool = NEROLIN_BINARY_DIR "/bin/nerolin-tool";

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun Tool(const TempHome& home, const std::vector<std::string>& arguments)
{
    ChildProcess child(kTool, arguments, {{"LANGUAGE", "en"}, {"LC_ALL", "C.UTF-8"}}, home.root());
    int status = child.Wait();
    return {status, child.Stdout(), child.Stderr()};
}

TEST(ToolTest, ALinkReadsBackToItsRequest)
{
    TempHome home;
    ToolRun link = Tool(home, {"link", "--session-url", "https://s.example/a?b=%41&c=\"d e\"", "--session-id",
                               "id \u0151\u00E9", "--mode", "SIGN"});
    ASSERT_EQ(link.status, 0) << link.err;
    ASSERT_EQ(link.out.rfind("yendo:%7B%22sessionUrl%22:", 0), 0u) << link.out;
    std::string written = link.out.substr(0, link.out.size() - 1);

    ToolRun parsed = Tool(home, {"parse-link", written});
    EXPECT_EQ(parsed.status, 0) << parsed.err;
    EXPECT_EQ(parsed.out,
              "{\"sessionUrl\":\"https://s.example/a?b=%41&c=\\\"d e\\\"\",\"sessionId\":\"id "
              "\u0151\u00E9\",\"mode\":\"SIGN\"}\n");

    // A service needs TEST links; the QR form writes TEST as the default
    // mode, as the QR code of a session does.
    ToolRun test = Tool(home, {"link", "--session-url", "u", "--session-id", "i", "--mode", "TEST"});
    EXPECT_EQ(test.out, "yendo:%7B%22sessionUrl%22:%22u%22,%22sessionId%22:%22i%22,%22mode%22:%22TEST%22%7D\n");
    ToolRun qr = Tool(home, {"link", "--qr-form", "--session-url", "u", "--session-id", "i", "--mode", "TEST"});
    EXPECT_EQ(qr.out,
              "yendo:%7B%22sessionUrl%22:%22u%22,%22sessionId%22:%22i%22,"
              "%22mode%22:%22SELECT_CERTIFICATE_AND_SIGN%22%7D\n");
}

TEST(ToolTest, RejectedLinksAndArgumentsGiveTheirMessageAndStatus)
{
    TempHome home;
    const std::pair<std::vector<std::string>, ToolRun> cases[] = {
        {{"parse-link", "Yendo:{}"}, {1, "", "Invalid URI!\n"}},
        {{"parse-link", "yendo:"}, {1, "", "Bad request!\n"}},
        {{"parse-link", "yendo:{\"sessionUrl\":\"u\",\"sessionId\":\"i\",\"mode\":\"test\"}"},
         {1, "", "Bad request!\n"}},
        // Nested deeper than a reader may go (as long as one argument may be),
        // and a zero byte with text after it.
        {{"parse-link", "yendo:" + std::string(130000, '[')}, {1, "", "Bad request!\n"}},
        {{"parse-link", "yendo:{\"sessionUrl\":\"u\",\"sessionId\":\"i\"}%00trailing garbage"},
         {1, "", "Bad request!\n"}},
        {{"parse-link"}, {2, "", "usage: nerolin-tool parse-link LINK\n"}},
        {{"link", "--session-url", "u"},
         {2, "", "usage: nerolin-tool link --session-url URL --session-id ID [--mode MODE] [--qr-form]\n"}},
        {{"link", "--session-url", "u", "--session-id", "i", "--mode", "sign"},
         {2, "", "usage: nerolin-tool link --session-url URL --session-id ID [--mode MODE] [--qr-form]\n"}},
    };
    for (const auto& [arguments, expected] : cases) {
        ToolRun run = Tool(home, arguments);
        EXPECT_EQ(run.status, expected.status) << arguments.back();
        EXPECT_EQ(run.out, expected.out) << arguments.back();
        EXPECT_EQ(run.err, expected.err) << arguments.back();
    }
}

TEST(ToolTest, QrImageHasAQuietZoneAndAWholeScaleOfAtLeast192Pixels)
{
    TempHome home;
    const std::string file = (home.root() / "code.png").string();
    ToolRun run = Tool(home, {"qr", "yendo:", file});
    ASSERT_EQ(run.status, 0) << run.err;
    QImage image(QString::fromStdString(file));
    // Version 1: 21 modules and 2 x 4 of quiet zone, 7 pixels each.
    ASSERT_EQ(image.width(), 203);
    ASSERT_EQ(image.height(), 203);
    for (int i = 0; i < 28; ++i) {
        EXPECT_EQ(image.pixel(i, i), qRgb(255, 255, 255)) << i;
        EXPECT_EQ(image.pixel(202 - i, i), qRgb(255, 255, 255)) << i;
    }
    EXPECT_EQ(image.pixel(28, 28), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(28 + 7 * 7 - 1, 28), qRgb(0, 0, 0));  // the finder's top row: seven modules
    EXPECT_EQ(image.pixel(28 + 7 * 7, 28), qRgb(255, 255, 255));

    ToolRun tooLong = Tool(home, {"qr", "yendo:" + std::string(1300, 'a') + "\x7F", (home.root() / "x.png").string()});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.err, "Error occurred during the QR code generation!\n");
    EXPECT_FALSE(std::filesystem::exists(home.root() / "x.png"));
}

}  // namespace
}  // namespace nerolin::test
