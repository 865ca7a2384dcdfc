// How module calls are made whatever the module answers: every search that
// began is ended, a module that never ends a search or leaves functions out
// of its list cannot hang or crash the signer, and announced counts are
// bounded before anything is allocated.

#include <algorithm>

#include "providers/Pkcs11Module.h"
#include "providers/Pkcs11ObjectSearch.h"
#include "providers/SigningProviderPKCS11.h"
#include "tests/providers/pkcs11/Pkcs11Fixture.h"

namespace nerolin::test {
namespace {

const std::string kSha256 = "2.16.840.1.101.3.4.2.1";

using Pkcs11CallsTest = Pkcs11Test;

long Count(const std::vector<std::string>& lines, const std::string& line)
{
    return std::count(lines.begin(), lines.end(), line);
}

TEST_F(Pkcs11CallsTest, EverySearchThatBeganIsEndedHoweverItStops)
{
    MakeToken();
    struct Case {
        const char* variable;
        const char* value;
        SigningResult result;
        std::vector<Entry> entries;  // after "SignHash started with PKCS#11 signing provider"
    };
    const Case cases[] = {
        // Both key searches fail; each failure is written under its own name.
        {"NEROLIN_SHIM_FAIL",
         "C_FindObjects",
         SigningResult::Failed,
         {{EntryType::Error, "C_FindObjects return value: 0x00000006"},
          {EntryType::Warning, "private key not found with id: 01"},
          {EntryType::Error, "PUBLIC KEY - C_FindObjects return value: 0x00000006"},
          {EntryType::Error, "public key not found for certificate"}}},
        // Only a warning: the key was found.
        {"NEROLIN_SHIM_FAIL",
         "C_FindObjectsFinal",
         SigningResult::Success,
         {{EntryType::Warning, "C_FindObjectsFinal return value: 0x00000006"},
          {EntryType::Information, "private key found with id: 01"}}},
        // The search stops at its bound; the key is the last object found.
        {"NEROLIN_SHIM_ENDLESS_SEARCH",
         "1",
         SigningResult::Success,
         {{EntryType::Information, "private key found with id: 01"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.variable) + "=" + c.value);
        SigningProviderPKCS11 provider(NEROLIN_P11_SHIM);
        provider.Initialize();
        ASSERT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Success);

        const std::string trace = StartTrace();
        ScopedEnvironment bend(c.variable, c.value);
        EventCapture capture;
        prompts_->QueuePin("1234");
        const Bytes hash = TestHash(32);
        std::string signature;
        EXPECT_EQ(provider.SignHash(kSha256, hash.data(), 32, signature), c.result);
        provider.EndSigning();
        provider.Finalize();

        std::vector<Entry> expected{{EntryType::Information, "SignHash started with PKCS#11 signing provider"}};
        expected.insert(expected.end(), c.entries.begin(), c.entries.end());
        EXPECT_EQ(capture.Entries(), expected);
        const std::vector<std::string> calls = ReadLines(trace);
        EXPECT_GT(Count(calls, "C_FindObjectsInit"), 0);
        EXPECT_EQ(Count(calls, "C_FindObjectsInit"), Count(calls, "C_FindObjectsFinal"));
        if (std::string(c.variable) == "NEROLIN_SHIM_ENDLESS_SEARCH") {
            EXPECT_EQ(Count(calls, "C_FindObjects"), static_cast<long>(Pkcs11ObjectSearch::kMaximumObjects));
        }
    }
}

TEST_F(Pkcs11CallsTest, FunctionMissingFromTheListAnswersNotSupported)
{
    MakeToken();
    const Bytes hash = TestHash(32);
    {
        // Without C_GetSessionInfo the token simply counts as not logged in.
        ScopedEnvironment missing("NEROLIN_SHIM_MISSING", "C_GetSessionInfo");
        SigningProviderPKCS11 provider(NEROLIN_P11_SHIM);
        provider.Initialize();
        ASSERT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Success);
        prompts_->QueuePin("1234");
        std::string signature;
        ASSERT_EQ(provider.SignHash(kSha256, hash.data(), 32, signature), SigningResult::Success);
        EXPECT_TRUE(VerifySignature("rsa", EVP_sha256(), hash, signature));
    }
    {
        ScopedEnvironment missing("NEROLIN_SHIM_MISSING", "C_Sign");
        SigningProviderPKCS11 provider(NEROLIN_P11_SHIM);
        provider.Initialize();
        ASSERT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Success);
        const std::string trace = StartTrace();
        EventCapture capture;
        prompts_->QueuePin("1234");
        std::string signature = "untouched";
        EXPECT_EQ(provider.SignHash(kSha256, hash.data(), 32, signature), SigningResult::Failed);
        EXPECT_EQ(signature, "untouched");
        EXPECT_TRUE(capture.Has(EntryType::Error, "C_Sign1 return value: 0x00000054"));
        const std::vector<std::string> calls = ReadLines(trace);
        EXPECT_EQ(Count(calls, "C_Logout"), 1);
        EXPECT_EQ(Count(calls, "C_CloseSession"), 1);
    }
}

TEST_F(Pkcs11CallsTest, SlotCountBeyondTheBoundIsRefusedAsMemoryThatCannotBeHad)
{
    MakeToken();
    ScopedEnvironment slots("NEROLIN_SHIM_SLOT_COUNT", std::to_string(Pkcs11Module::kMaximumSlots + 1));
    SigningProviderPKCS11 provider(NEROLIN_P11_SHIM);
    provider.Initialize();
    EventCapture capture;
    EXPECT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Failed);
    EXPECT_EQ(capture.Entries(), (std::vector<Entry>{{EntryType::Error, "malloc error: 8 (0x00000008)"}}));
    EXPECT_EQ(prompts_->Messages(), std::vector<std::string>{"Not enough memory"});
}

}  // namespace
}  // namespace nerolin::test
