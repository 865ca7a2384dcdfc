// The real program with a TEST link against the reference service.
#include <gtest/gtest.h>

#include "tests/session/AgentRun.h"
#include "tests/support/DevService.h"

namespace nerolin::test {
namespace {

TEST(TestModeRun, HealthyServiceShowsNothing)
{
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    const auto session = service.CreateSession(R"({"mode":"TEST"})");
    ASSERT_TRUE(session) << service.Log();
    const AgentRun run = RunAgent(service, session->link);
    EXPECT_EQ(run.exitStatus, 0) << run.otherOutput;
    EXPECT_EQ(run.messages, std::vector<std::string>{});
    EXPECT_EQ(run.otherOutput, "");
    const auto report = service.SessionReport(session->sessionId);
    ASSERT_TRUE(report);
    EXPECT_NE(report->find("config"), std::string::npos) << *report;
}

TEST(TestModeRun, EachFailureShowsItsMessage)
{
    struct Case {
        const char* name;
        const char* whitelistCertificate;
        std::string request;
        std::string message;
    };
    const Case cases[] = {
        {"untrusted whitelist host", "host-wrong-id-root2", R"({"mode":"TEST"})",
         "Failed to download the list of the allowed proxy servers!"},
        // Refused by the built-in roots in the handshake: the trust test
        // explains it in the event log, the user reads one message.
        {"root with the right name and another key", "host-2848-fake-orvane", R"({"mode":"TEST"})",
         "Failed to download the list of the allowed proxy servers!"},
        // A refused answer without a result message: the test run's one text for it.
        {"answer nested deeper than any reader goes", "host-2848-root2",
         R"({"mode":"TEST","faults":{"exchange":"config","kind":"deepJson","bytes":204800}})", "Unknown error!"},
        {"service error", "host-2848-root2",
         R"({"mode":"TEST","faults":{"exchange":"config","kind":"serviceError","code":"ERROR","message":"Closed"}})",
         "Error occured during the opertation! Message: Closed"},
        {"wrong status", "host-2848-root2", R"({"mode":"TEST","faults":{"exchange":"config","kind":"status"}})",
         "Unknown error!"},
        {"other protocol version", "host-2848-root2", R"({"mode":"TEST","version":"2"})",
         "Not supported protocol version! Update your application!"},
    };
    for (const Case& c : cases) {
        DevService::Settings settings;
        settings.whitelistCertificate = c.whitelistCertificate;
        DevService service(settings);
        ASSERT_TRUE(service.Running()) << service.Log();
        const auto session = service.CreateSession(c.request);
        ASSERT_TRUE(session) << c.name << "\n" << service.Log();
        const AgentRun run = RunAgent(service, session->link);
        EXPECT_EQ(run.exitStatus, 1) << c.name;
        EXPECT_EQ(run.messages, std::vector<std::string>{c.message}) << c.name;
        EXPECT_EQ(run.otherOutput, "") << c.name;
    }
}

}  // namespace
}  // namespace nerolin::test
