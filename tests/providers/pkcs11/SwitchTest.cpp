// The composite switches from NSS to an alternative provider: a SoftHSM token
// registered in the NSS database (built once per way of registering it, as
// NSS opens one database per process):
//
//   pkcs11:  under a card maker's CSP name, "Bit4id Universal Middleware
//            Provider DS": the PKCS#11 module libbit4ipki_ds.so, which the
//            library search finds as a link to SoftHSM;
//   tvrksp:  under "Tavorel Key Storage Provider": the key-storage library
//            (the stand-in signs with the development key of the "rsa"
//            certificate);
//   library: under a neutral name, by the link's path: the library's file
//            name leads to the same module;
//   rule:    under a neutral name, by SoftHSM's own path: a rule of the
//            machine settings names the token's manufacturer and model.

#include <cstdlib>

#include "providers/linux/NssRuntime.h"
#include "providers/SigningProviderTvr.h"
#include "tests/providers/pkcs11/Pkcs11Fixture.h"
#include "tests/support/MemorySettingsStore.h"

namespace nerolin::test {
namespace {

const std::string kSha256 = "2.16.840.1.101.3.4.2.1";
const std::string kModuleName = NEROLIN_SWITCH_MODULE_NAME;
const std::string kLibrary = NEROLIN_SWITCH_LIBRARY;
// SoftHSM's token, as `nerolin-tool tokens` shows it.
const std::string kRule =
    NEROLIN_SWITCH_BY_RULE ? "manufacturer=SoftHSM project; model=SoftHSM v2; use=libbit4ipki_ds.so" : "";

class SwitchEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        static TempDir folder;
        std::optional<TestToken> token = MakeTestToken(folder.path() + "/token", "--token-certs 'rsa ec'");
        ASSERT_TRUE(token);
        setenv("SOFTHSM2_CONF", token->softhsmConf.c_str(), 1);
        const std::string modutil = "modutil -force -dbdir " + token->nssDb + " ";
        ASSERT_EQ(std::system((modutil + "-delete SoftHSM >/dev/null").c_str()), 0);
        ASSERT_EQ(std::system((modutil + "-add '" + kModuleName + "' -libfile " + kLibrary + " >/dev/null").c_str()),
                  0);
        if (!kRule.empty()) {
            InstallMemorySettingsStore()->Set(Scope::Machine, "AlternativeProviders", "Rule1", kRule);
        }
        ASSERT_TRUE(InitializeNss(token->nssDb));
    }
};
const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new SwitchEnvironment);

class SwitchTest : public Pkcs11Test {
protected:
    // Signs the hashes as the signing worker does: the batch first, hash by
    // hash when the batch is unsupported.
    std::vector<HashEntry> Sign(SigningProviderTvr& composite, const std::string& certificate, std::uint32_t count)
    {
        std::vector<HashEntry> entries;
        for (std::uint32_t i = 0; i < count; ++i)
            entries.push_back({Base64Encode(TestHash(32, static_cast<std::uint8_t>(i + 1)), Base64Format::Base64), ""});
        composite.Initialize();
        EXPECT_EQ(composite.FindCertificate(CertificateText(certificate)), SigningResult::Success);
        composite.BeginSigning(count);
        if (composite.SignHashes(kSha256, entries) == SigningResult::Unsupported) {
            for (HashEntry& entry : entries)
                EXPECT_EQ(composite.SignUnsignedHash(kSha256, entry.unsignedHash, entry.signedHash),
                          SigningResult::Success);
        }
        composite.EndSigning();
        composite.Finalize();
        return entries;
    }

    std::size_t PinPrompts() const
    {
        std::size_t count = 0;
        for (const RecordedPrompt& prompt : prompts_->Recorded()) count += prompt.kind == "pin";
        return count;
    }
};

TEST_F(SwitchTest, BatchSignsThroughTheAlternative)
{
    const bool pkcs11 = kModuleName != "Tavorel Key Storage Provider";
    prompts_->QueuePin(TestToken::kPin);
    SigningProviderTvr composite;
    const std::vector<HashEntry> entries = Sign(composite, "rsa", 3);
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_TRUE(
            VerifySignature("rsa", EVP_sha256(), TestHash(32, static_cast<std::uint8_t>(i + 1)), entries[i].signedHash))
            << i;

    EXPECT_TRUE(events_->Has(EntryType::Information, "Provider name: " + kModuleName));
    EXPECT_TRUE(
        events_->Has(EntryType::Information, "Certificate found with the alternative signing provider; using NonNSS"));
    if (pkcs11) {
        EXPECT_TRUE(events_->Has(EntryType::Information, "Trying to use PKCS#11 module: libbit4ipki_ds.so"));
        // The link leads to the library NSS loaded already: the entry names
        // the file that was really loaded.
        EXPECT_TRUE(events_->Has(EntryType::Information, "PKCS#11 module filename: " + kLibrary));
        EXPECT_TRUE(events_->Has(EntryType::Information, "SignHash finished successfully"));
    } else {
        EXPECT_TRUE(events_->Has(EntryType::Information, "Trying to use libTvrKSP.so"));
        EXPECT_TRUE(events_->Has(EntryType::Information, "SignHashes finished successfully"));
    }
    // NSS asks for the token's PIN when it looks for the key; the PKCS#11
    // module, loaded once in the process, shares that login.
    EXPECT_LE(PinPrompts(), 1u);
}

TEST_F(SwitchTest, SingleHashStaysWithNssAfterAnAlternativeWasUsed)
{
    // The module NSS loaded was shared with the alternative, which left it
    // initialized: NSS still reaches the token's keys.
    {
        prompts_->QueuePin(TestToken::kPin);
        SigningProviderTvr composite;
        Sign(composite, "ec", 2);
    }
    EventCapture single;
    prompts_->QueuePin(TestToken::kPin);
    SigningProviderTvr composite;
    const std::vector<HashEntry> entries = Sign(composite, "ec", 1);
    EXPECT_TRUE(VerifySignature("ec", nullptr, TestHash(32, 1), entries[0].signedHash));
    for (const std::string& text : single.Texts()) EXPECT_EQ(text.find("alternative"), std::string::npos) << text;
    EXPECT_TRUE(single.Has(EntryType::Information, "SignHash started with NSS signing provider"));
}

}  // namespace
}  // namespace nerolin::test
