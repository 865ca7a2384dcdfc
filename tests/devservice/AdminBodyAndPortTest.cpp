// The reference service as developers drive it by hand: curl -d bodies of
// any length on the admin API, and a second service started on a port the
// first one holds.

#include <stdlib.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <httplib.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/DevService.h"

namespace nerolin::test {
namespace {

TEST(AdminApi, TakesJsonBodiesWhateverTypeTheyDeclare)
{
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    const auto session = service.CreateSession();
    ASSERT_TRUE(session);
    httplib::SSLClient client("127.0.0.1", service.ServicePort());
    client.enable_server_certificate_verification(false);
    const std::string message(8200, 'm');
    const std::string faults =
        R"([{"exchange":"config","kind":"serviceError","code":"ERROR","message":")" + message + R"("}])";
    for (const char* type : {"application/x-www-form-urlencoded", "application/json", "text/plain"}) {
        const auto result = client.Post(("/admin/sessions/" + session->sessionId + "/faults").c_str(), faults, type);
        ASSERT_TRUE(result) << type;
        EXPECT_EQ(result->status, 200) << type << " " << result->body;
    }
    // The service's own bound still holds for every type.
    const auto oversized =
        client.Post("/admin/whitelist", std::string((16u << 20) + 1, ' '), "application/x-www-form-urlencoded");
    ASSERT_TRUE(oversized);
    EXPECT_EQ(oversized->status, 413);
}

TEST(BusyPort, ASecondServiceRefusesAPortInUseAndNamesIt)
{
    DevService first;
    ASSERT_TRUE(first.Running()) << first.Log();
    const std::string port = std::to_string(first.ServicePort());
    char pattern[] = "/tmp/nerolin-busy-port-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    {
        ChildProcess second(NEROLIN_BINARY_DIR "/bin/nerolin-devservice",
                            {"--service-port", port, "--whitelist-port", "0"}, {}, folder);
        EXPECT_EQ(second.Wait(std::chrono::seconds(30)), 1);
        EXPECT_NE(second.Stderr().find("cannot listen on 127.0.0.1 port " + port), std::string::npos)
            << second.Stderr();
    }
    EXPECT_EQ(first.Call("GET", "/admin/whitelist/requests").status, 200);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace nerolin::test
