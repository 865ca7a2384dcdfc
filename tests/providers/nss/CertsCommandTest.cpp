// nerolin-tool certs over the test database, as a support person runs it.

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/providers/nss/NssTestSupport.h"

namespace nerolin::test {
namespace {

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(CertsCommandTest, ListsEachCertificateWithItsTokensAndVerdict)
{
    const std::string filters = NssTestEnvironment::EventStorePath() + ".filters.json";
    std::ofstream(filters) << R"([{"keyUsage": {"nonRepudiation": true}}])";
    const ToolRun run =
        RunCerts("--database " + NssTestEnvironment::Database().spec() + " --filters " + filters + " --check-validity");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(Count(run.output, "4 certificate(s) with a private key"), 1u) << run.output;
    EXPECT_EQ(Count(run.output, "Subject:    Nerolin Test, Nerolin Test rsa\n"), 1u);
    EXPECT_EQ(Count(run.output, "Token:      Nerolin Test Token, NSS Certificate DB\n"), 1u) << "rsa on both";
    EXPECT_EQ(Count(run.output, "Module:     SoftHSM\n"), 1u) << "ec-no-keyusage on the card only";
    EXPECT_EQ(Count(run.output, "Valid from: 2024-01-01 00:00:00 UTC\n"), 4u);
    // rsa and ec carry nonRepudiation; the two without key usage have every bit.
    EXPECT_EQ(Count(run.output, "Passes:     yes\n"), 4u) << run.output;

    std::ofstream(filters) << R"([{"keyUsage": {"keyAgreement": true}}])";
    const ToolRun narrowed = RunCerts("--database " + NssTestEnvironment::Database().spec() + " --filters " + filters);
    EXPECT_EQ(Count(narrowed.output, "Passes:     no (keyUsage.keyAgreement)\n"), 2u) << narrowed.output;
}

// Without --database: the setting "CertificateDatabase", else the browser's
// database under HOME; a missing one is created, private to the user.
TEST(CertsCommandTest, DatabaseFromTheSettingOrTheDefaultIsCreatedWhenMissing)
{
    const std::string home = NssTestEnvironment::EventStorePath() + ".home";
    ASSERT_TRUE(std::filesystem::create_directories(home + "/config/Tavorel"));
    // The same p11-kit configuration as the test's: the machine's modules
    // (SoftHSM's among them, which would find the test's token) stay out.
    std::error_code ignored;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"))
        std::filesystem::copy(std::string(config) + "/pkcs11", home + "/config/pkcs11",
                              std::filesystem::copy_options::recursive, ignored);
    const std::vector<std::string> environment = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config"};

    ToolRun run = RunCerts("", environment);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(Count(run.output, "Database: sql:" + home + "/.pki/nssdb\n0 certificate(s)"), 1u) << run.output;
    EXPECT_TRUE(std::filesystem::exists(home + "/.pki/nssdb/cert9.db"));
    EXPECT_EQ(std::filesystem::status(home + "/.pki/nssdb").permissions(), std::filesystem::perms::owner_all);

    std::ofstream(home + "/config/Tavorel/Nerolin.conf") << "[General]\nCertificateDatabase=sql:" << home << "/other\n";
    run = RunCerts("", environment);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(Count(run.output, "Database: sql:" + home + "/other\n"), 1u) << run.output;
    EXPECT_TRUE(std::filesystem::exists(home + "/other/key4.db"));
}

TEST(CertsCommandTest, ExitStatuses)
{
    const std::string filters = NssTestEnvironment::EventStorePath() + ".bad.json";
    std::ofstream(filters) << R"({"not": "an array"})";
    EXPECT_EQ(RunCerts("--filters " + filters).status, 2);
    EXPECT_EQ(RunCerts("--filters /nonexistent/filters.json").status, 2);
    EXPECT_EQ(RunCerts("--unknown").status, 2);
    EXPECT_EQ(RunCerts("--database").status, 2);
}

}  // namespace
}  // namespace nerolin::test
