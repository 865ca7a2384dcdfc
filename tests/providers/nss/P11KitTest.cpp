// A token that only p11-kit knows of: SoftHSM registered through a module
// file in the test home's own p11-kit configuration, and a database that
// registers no module at all, as a new user has it.

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "providers/linux/NssModules.h"
#include "providers/linux/SigningProviderNSS.h"
#include "tests/providers/nss/NssTestSupport.h"

namespace nerolin::test {
namespace {

NssDatabaseOptions DatabaseOptions()
{
    NssDatabaseOptions options;
    options.hardwareTokenIdentities = {"rsa", "ec"};
    options.registration = NssDatabaseOptions::Registration::P11KitOnly;
    return options;
}

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NssTestEnvironment(DatabaseOptions()));

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class P11KitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!NssTestEnvironment::P11KitConfigError().empty())
            GTEST_SKIP() << "no p11-kit configuration of the test's own: " << NssTestEnvironment::P11KitConfigError();
    }
};

TEST_F(P11KitTest, TokensRegisteredWithP11KitAreOfferedWithoutSetup)
{
    auto& prompts = NssTestEnvironment::Prompts();
    prompts.Clear();
    SigningProviderNSS provider;
    std::string chosen;
    prompts.QueueCertificateChoice(std::nullopt);
    provider.SelectCertificate(false, {}, chosen);
    ASSERT_EQ(prompts.offered.size(), 2u);
    const std::size_t ec = prompts.offered[0] == CertificateDerOf("ec") ? 0 : 1;
    ASSERT_EQ(prompts.offered[ec], CertificateDerOf("ec"));

    prompts.QueueCertificateChoice(ec);
    ASSERT_EQ(provider.SelectCertificate(false, {}, chosen), SigningResult::Success);
    EXPECT_EQ(provider.GetProviderName(), "p11-kit-proxy");
    EXPECT_TRUE(PinQuestions().empty());

    prompts.QueuePin(NssDatabase::kTokenPin);
    provider.BeginSigning(1);
    const Bytes hash = SampleHash(32, 4);
    std::string signedHash;
    ASSERT_EQ(provider.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::Success);
    EXPECT_TRUE(SignatureVerifies("ec", kSha256, hash, signedHash));
    provider.EndSigning();
    ASSERT_EQ(PinQuestions().size(), 1u);
    EXPECT_EQ(PinQuestions()[0].pin.target, NssDatabase::kTokenLabel);

    // The proxy was loaded for this process only: the user's database does
    // not learn of it.
    const std::string registry = ReadAll(NssTestEnvironment::Database().folder() + "/nssdb/pkcs11.txt");
    EXPECT_FALSE(registry.empty());
    EXPECT_EQ(registry.find("p11-kit"), std::string::npos) << registry;
    EXPECT_TRUE(HasEntry(AllEntries(), EntryType::Information,
                         "Modules registered with p11-kit are used through " + P11KitProxyModule()));
}

// A card registered in the database and with p11-kit is reached twice by
// NSS; it is listed once, under the module the database registers.
TEST_F(P11KitTest, TokenRegisteredBothWaysIsListedOnce)
{
    NssDatabaseOptions options;
    options.hardwareTokenIdentities = {"rsa", "ec"};
    options.registration = NssDatabaseOptions::Registration::ModutilDefault;
    const NssDatabase both(options);
    ASSERT_TRUE(both.ok()) << both.error();

    // The tool runs with this test's home, so it meets the same p11-kit
    // configuration, whose module file reaches the second database's tokens.
    std::string command = "env";
    for (const auto& word : both.Environment()) command += " '" + word + "'";
    command += " " NEROLIN_BINARY_DIR "/bin/nerolin-tool certs --database " + both.spec() + " 2>&1 </dev/null";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;

    EXPECT_EQ(Count(output, "2 certificate(s)"), 1u) << output;
    EXPECT_EQ(Count(output, std::string("Token:      ") + NssDatabase::kTokenLabel + "\n"), 2u) << output;
    EXPECT_EQ(Count(output, std::string("Module:     ") + NssDatabase::kSoftHsmModuleName + "\n"), 2u) << output;
}

}  // namespace
}  // namespace nerolin::test
