#include "common/UserPrompts.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/ConsolePrompts.h"
#include "tests/support/ScriptedPrompts.h"

namespace nerolin {
namespace {

TEST(ConsolePrompts, EachMessageIsOneLineOnStandardError)
{
    ConsolePrompts prompts;
    const std::pair<std::string, std::string> cases[] = {
        {"Invalid URI!", "Nerolin: Invalid URI!\n"},
        {"first\r\nsecond", "Nerolin: first second\n"},
        {"a\nb\rc", "Nerolin: a b c\n"},
        {"\xC3\xA9rv\xC3\xA9nytelen", "Nerolin: \xC3\xA9rv\xC3\xA9nytelen\n"},
        {"", "Nerolin: \n"},
    };
    for (const auto& [text, line] : cases) {
        ::testing::internal::CaptureStderr();
        prompts.ShowMessage(text, MessageIcon::Error);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), line);
    }
}

TEST(ConsolePrompts, EveryQuestionIsCancelled)
{
    ConsolePrompts prompts;
    EXPECT_FALSE(prompts.AskPin({.target = "token"}));
    EXPECT_FALSE(prompts.ChooseCertificate({Bytes{1, 2, 3}}, true));
    EXPECT_FALSE(prompts.TrustServerCertificate("localhost", Bytes{1}, "expired"));
    EXPECT_FALSE(prompts.AskSaveFile(SaveFileRequest{"Nerolin", "log", {{"Log files (*.log)", "*.log"}}}));
}

TEST(Prompts, ConsoleUntilReplacedAndBackToConsoleOnNull)
{
    EXPECT_NE(dynamic_cast<ConsolePrompts*>(&Prompts()), nullptr);
    auto scripted = std::make_shared<test::ScriptedPrompts>();
    SetUserPrompts(scripted);
    Prompts().ShowMessage("hello", MessageIcon::Warning);
    ASSERT_EQ(scripted->Recorded().size(), 1u);
    EXPECT_EQ(scripted->Recorded()[0].icon, MessageIcon::Warning);
    SetUserPrompts(nullptr);
    EXPECT_NE(dynamic_cast<ConsolePrompts*>(&Prompts()), nullptr);
}

TEST(Prompts, ReplacingWhileOtherThreadsAskIsSafe)
{
    // A reference that Prompts() gave out stays usable after a replacement;
    // under AddressSanitizer a freed object would show here.
    std::vector<std::shared_ptr<test::ScriptedPrompts>> all;
    for (int i = 0; i < 4; ++i) all.push_back(std::make_shared<test::ScriptedPrompts>());
    SetUserPrompts(all[0]);
    std::vector<std::thread> askers;
    for (int t = 0; t < 4; ++t) {
        askers.emplace_back([] {
            for (int i = 0; i < 500; ++i) Prompts().AskPin({.target = "token"});
        });
    }
    for (int i = 1; i < 4; ++i) SetUserPrompts(all[i]);
    for (auto& asker : askers) asker.join();
    std::size_t asked = 0;
    for (const auto& prompts : all) asked += prompts->Recorded().size();
    EXPECT_EQ(asked, 2000u);
    SetUserPrompts(nullptr);
}

TEST(ScriptedPrompts, AnswersInOrderThenCancels)
{
    test::ScriptedPrompts prompts;
    prompts.QueuePin("1234");
    prompts.QueuePin(std::nullopt);
    prompts.QueueCertificateChoice(2);
    prompts.QueueTrust(true);
    prompts.QueueSaveFile("/tmp/x.log");

    EXPECT_EQ(prompts.AskPin({.target = "card"})->view(), "1234");
    EXPECT_FALSE(prompts.AskPin({.target = "card"}));
    EXPECT_FALSE(prompts.AskPin({.target = "card"}));
    EXPECT_EQ(prompts.ChooseCertificate({{}, {}, {}}, true), 2u);
    EXPECT_FALSE(prompts.ChooseCertificate({{}}, true));
    EXPECT_TRUE(prompts.TrustServerCertificate("localhost", {}, "self-signed"));
    EXPECT_FALSE(prompts.TrustServerCertificate("localhost", {}, "self-signed"));
    EXPECT_EQ(prompts.AskSaveFile({"Nerolin", "log", {}}), "/tmp/x.log");
    prompts.ShowMessage("done", MessageIcon::Information);

    EXPECT_EQ(prompts.Recorded().size(), 9u);
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"done"});
    ASSERT_EQ(prompts.SaveRequests().size(), 1u);
    EXPECT_EQ(prompts.SaveRequests()[0].defaultSuffix, "log");
}

}  // namespace
}  // namespace nerolin
