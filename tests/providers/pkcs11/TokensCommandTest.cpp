// nerolin-tool tokens, run as the support person runs it.

#include <sys/wait.h>

#include <cstdio>

#include "tests/providers/pkcs11/Pkcs11Fixture.h"

namespace nerolin::test {
namespace {

using TokensCommandTest = Pkcs11Test;

// Standard output and exit status of a shell command.
std::pair<std::string, int> Output(const std::string& command)
{
    std::string output;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return {"", -1};
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

const std::string kTool = std::string(NEROLIN_BINARY_DIR) + "/bin/nerolin-tool tokens";

TEST_F(TokensCommandTest, ListsTokensCertificatesAndHowTheirKeysAreFound)
{
    MakeToken("--token-certs 'ec'");
    ASSERT_TRUE(Run("softhsm2-util --import " + SigningIdentity("rsa").privateKeyPem +
                    " --token 'Nerolin Test Token' --label rsa --id 11 --pin 1234"));
    ASSERT_TRUE(Run(std::string("pkcs11-tool --module ") + NEROLIN_SOFTHSM_MODULE +
                    " --token-label 'Nerolin Test Token' --login --pin 1234 --write-object " +
                    SigningIdentity("rsa").certificateDer + " --type cert --id 05"));

    const auto [before, beforeStatus] = Output(kTool + " --module libbit4ipki_ds.so");
    EXPECT_EQ(beforeStatus, 0);
    EXPECT_NE(before.find("Token:       \"Nerolin Test Token\""), std::string::npos) << before;
    EXPECT_NE(before.find("Flags:       TOKEN_INITIALIZED LOGIN_REQUIRED"), std::string::npos) << before;
    EXPECT_NE(before.find("Maker:       manufacturer=SoftHSM project; model=SoftHSM v2\n"), std::string::npos)
        << before;
    EXPECT_NE(before.find("not visible before a login"), std::string::npos) << before;

    // The PIN goes to the one token named: a second card would spend a try on it.
    ASSERT_TRUE(Run("softhsm2-util --init-token --free --label 'Other Token' --pin 9999 --so-pin 12345678"));
    const auto [after, afterStatus] =
        Output("echo 1234 | " + kTool + " --module libbit4ipki_ds.so --token 'Nerolin Test Token' --pin-stdin");
    EXPECT_EQ(afterStatus, 0);
    EXPECT_NE(after.find("CKA_ID:      01\n    Private key: by identifier"), std::string::npos) << after;
    EXPECT_NE(after.find("CKA_ID:      05\n    Private key: by public key (CKA_ID 11)"), std::string::npos) << after;
    EXPECT_EQ(after.find("Other Token"), std::string::npos) << after;
}

TEST_F(TokensCommandTest, FailuresHaveTheirExitStatus)
{
    EXPECT_EQ(Output(kTool + " --module libnerolin-no-such-module.so").second, 1);
    EXPECT_EQ(Output(kTool + " --module " + NEROLIN_NOT_A_MODULE).second, 1);
    EXPECT_EQ(Output(kTool).second, 1);  // no PC/SC service in tests
    EXPECT_EQ(Output(kTool + " --module").second, 2);
    EXPECT_EQ(Output(kTool + " --pin-stdin").second, 2);
    // One PIN for every token would spend a try of each card it is wrong for.
    EXPECT_EQ(Output("echo 1234 | " + kTool + " --module libbit4ipki_ds.so --pin-stdin").second, 2);
    EXPECT_EQ(Output(kTool + " --module libbit4ipki_ds.so --token 'No Such Token'").second, 1);
}

}  // namespace
}  // namespace nerolin::test
