// The alternative providers on Windows: a PKCS#11 module and the key-storage
// library as DLLs, loaded with LoadLibraryW and their entry points with
// GetProcAddress; the PKCS#11 one reached through the composite, as a
// session with a card maker's key reaches it.

#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include "eventlog/EventCapture.h"
#include "providers/SigningProviderPKCS11.h"
#include "providers/SigningProviderTvr.h"
#include "providers/SigningProviderTvrKSP.h"
#include "tests/providers/mswin/StoreFixture.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SignatureCheck.h"

namespace nerolin::test {
namespace {

const std::string kSha256 = "2.16.840.1.101.3.4.2.1";
// The identity the test token holds (module/TestToken.cpp).
constexpr char kTokenIdentity[] = "serial-leading-zero";

std::vector<std::string> Texts(const std::vector<CapturedEntry>& entries)
{
    std::vector<std::string> texts;
    for (const CapturedEntry& entry : entries) texts.push_back(entry.text);
    return texts;
}

bool Has(const std::vector<CapturedEntry>& entries, EntryType type, const std::string& text)
{
    for (const CapturedEntry& entry : entries)
        if (entry.type == type && entry.text == text) return true;
    return false;
}

class ModulesTest : public testing::Test {
protected:
    void SetUp() override { SetUserPrompts(prompts_); }
    void TearDown() override { SetUserPrompts(nullptr); }

    std::shared_ptr<ScriptedPrompts> prompts_ = std::make_shared<ScriptedPrompts>();
    EventCapture events_;
};

TEST_F(ModulesTest, CardMakersModuleSignsTheCompositesBatchAfterOnePin)
{
    // The certificate in "MY" as a card maker's middleware registers it: its
    // key property names the maker's provider.
    ASSERT_TRUE(AddToMyWithKeyOf(kTokenIdentity, L"Bit4id Universal Middleware Provider DS", L"nerolin-card-key", 1,
                                 AT_SIGNATURE));
    std::string chosenFor;
    SigningProviderTvr composite([&chosenFor](const std::string& providerName, SigningProviderStore&) {
        chosenFor = providerName;
        return std::make_unique<SigningProviderPKCS11>(NEROLIN_TEST_TOKEN_MODULE);
    });
    ASSERT_EQ(composite.FindCertificate(CertificateText(kTokenIdentity)), SigningResult::Success);
    prompts_->QueuePin("123456");
    composite.BeginSigning(100);
    ASSERT_TRUE(composite.HasAlternative());
    EXPECT_EQ(chosenFor, "Bit4id Universal Middleware Provider DS");
    for (std::uint8_t i = 0; i < 100; ++i) {
        const Bytes hash = TestHash(32, i);
        std::string signedHash;
        ASSERT_EQ(composite.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::Success) << int(i);
        EXPECT_TRUE(SignatureVerifies(kTokenIdentity, kSha256, hash, signedHash)) << int(i);
    }
    composite.EndSigning();

    std::size_t pins = 0;
    for (const RecordedPrompt& prompt : prompts_->Recorded()) pins += prompt.kind == "pin";
    EXPECT_EQ(pins, 1u);
    const auto entries = events_.Take();
    EXPECT_TRUE(Has(entries, EntryType::Information, "Provider name: Bit4id Universal Middleware Provider DS"));
    EXPECT_TRUE(Has(entries, EntryType::Information,
                    "Certificate found with the alternative signing provider; using NonMSWin"));
    // The loaded file by its full Windows path (Wine's drive for the build folder).
    bool named = false;
    for (const CapturedEntry& entry : entries) {
        const std::string& text = entry.text;
        named |= text.rfind("PKCS#11 module filename: ", 0) == 0 && text.find(":\\") != std::string::npos &&
                 text.ends_with("\\nerolin-test-token.dll");
    }
    EXPECT_TRUE(named) << testing::PrintToString(Texts(entries));
    for (const CapturedEntry& entry : entries) EXPECT_NE(entry.type, EntryType::Error) << entry.text;
}

TEST_F(ModulesTest, ModuleThatDoesNotLoadLeavesSigningToTheStore)
{
    ASSERT_TRUE(ImportIntoMy(MakePfx("rsa-no-keyusage", true)));
    struct Case {
        const char* module;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"nerolin-no-such-module.dll", {"LoadLibrary error: 126 (0x0000007E)"}},
        {NEROLIN_NOT_A_MODULE, {"'C_GetFunctionList' function not found in module"}},
    };
    for (const Case& test : cases) {
        SigningProviderTvr composite([&test](const std::string&, SigningProviderStore&) {
            return std::make_unique<SigningProviderPKCS11>(test.module);
        });
        ASSERT_EQ(composite.FindCertificate(CertificateText("rsa-no-keyusage")), SigningResult::Success);
        events_.Take();
        composite.BeginSigning(2);
        EXPECT_FALSE(composite.HasAlternative()) << test.module;
        const auto entries = events_.Take();
        for (const std::string& expected : test.entries)
            EXPECT_TRUE(Has(entries, EntryType::Error, expected))
                << test.module << ": " << testing::PrintToString(Texts(entries));
        EXPECT_TRUE(Has(entries, EntryType::Warning,
                        "Certificate not found with the alternative signing provider; using MSWin"));
        const Bytes hash = TestHash(32, 3);
        std::string signedHash;
        ASSERT_EQ(composite.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::Success) << test.module;
        EXPECT_TRUE(SignatureVerifies("rsa-no-keyusage", kSha256, hash, signedHash));
        composite.EndSigning();
    }
    EXPECT_TRUE(prompts_->Messages().empty()) << "the user is not asked about the fallback";
}

TEST_F(ModulesTest, KeyStorageLibrarySignsTheBatchInOneCall)
{
    // TvrKSP.dll lies beside the test program, where the library search
    // looks first.
    SigningProviderTvrKSP provider;
    provider.Initialize();
    ASSERT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Success);
    std::vector<HashEntry> entries;
    for (std::uint8_t seed : {1, 2, 3}) entries.push_back({Base64Encode(TestHash(32, seed), Base64Format::Base64), ""});
    ASSERT_EQ(provider.SignHashes(kSha256, entries), SigningResult::Success);
    // The library's Base64 is its own (one line here); the service takes it
    // as it comes, so the check looks at the signature alone.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string lines =
            Base64Encode(Base64Decode(entries[i].signedHash, Base64Format::Base64), Base64Format::Base64);
        EXPECT_TRUE(SignatureVerifies("rsa", kSha256, TestHash(32, static_cast<std::uint8_t>(i + 1)), lines)) << i;
    }
    provider.Finalize();
    EXPECT_EQ(provider.SignHashes(kSha256, entries), SigningResult::Failed) << "never into an unloaded library";
    EXPECT_EQ(Texts(events_.Take()), (std::vector<std::string>{"Load TvrKSP library succeeded",
                                                               "SignHashes started with TvrKSP signing provider",
                                                               "SignHashes started with TvrKSP signing provider"}));
}

TEST_F(ModulesTest, KeyStorageLibraryMissingOrIncompleteIsNotUsed)
{
    SigningProviderTvrKSP missing("nerolin-no-such-library.dll");
    missing.Initialize();
    EXPECT_EQ(missing.FindCertificate(CertificateText("rsa")), SigningResult::Failed);
    EXPECT_EQ(Texts(events_.Take()),
              (std::vector<std::string>{"Load TvrKSP library failed", "LoadLibrary error: 126 (0x0000007E)"}));

    SigningProviderTvrKSP lacking(NEROLIN_TVRKSP_NO_INTERFACE);
    lacking.Initialize();
    EXPECT_EQ(lacking.FindCertificate(CertificateText("rsa")), SigningResult::Failed);
    lacking.Finalize();
    EXPECT_EQ(Texts(events_.Take()),
              (std::vector<std::string>{"Load TvrKSP library succeeded", "GetProcAddress GetKeyStorageInterface failed",
                                        "GetProcAddress error: 127 (0x0000007F)"}));
    EXPECT_TRUE(prompts_->Messages().empty());
}

}  // namespace
}  // namespace nerolin::test
