// The NSS provider and the composite over a password-protected database
// whose software token holds rsa, ec and rsa-no-keyusage, with a SoftHSM
// token holding rsa (the same certificate on two tokens) and ec-no-keyusage.

#include <gtest/gtest.h>
#include <secerr.h>

#include "common/CertificateText.h"
#include "filter/CertificateMatching.h"
#include "providers/linux/SigningProviderNSS.h"
#include "providers/SigningProviderTvr.h"
#include "tests/providers/nss/NssTestSupport.h"

namespace nerolin::test {
namespace {

constexpr char kPassword[] = "nss-password";

NssDatabaseOptions DatabaseOptions()
{
    NssDatabaseOptions options;
    options.softwareTokenIdentities = {"rsa", "ec", "rsa-no-keyusage"};
    options.hardwareTokenIdentities = {"rsa", "ec-no-keyusage"};
    options.password = kPassword;
    return options;
}

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NssTestEnvironment(DatabaseOptions()));

class NssProviderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogoutAllTokens();
        prompts().Clear();
        prompts().offered.clear();
        StartEntries();
    }
    RecordingPrompts& prompts() { return NssTestEnvironment::Prompts(); }
    std::vector<std::string> pinTargets()
    {
        std::vector<std::string> targets;
        for (const auto& prompt : prompts().Recorded())
            if (prompt.kind == "pin") targets.push_back(prompt.text);
        return targets;
    }
};

TEST_F(NssProviderTest, FindsExactlyTheUserCertificatesOfEveryToken)
{
    struct Case {
        std::string identity;
        KeyType keyType;
    };
    for (const Case& c : {Case{"rsa", KeyType::RSA}, Case{"ec", KeyType::EC}, Case{"rsa-no-keyusage", KeyType::RSA},
                          Case{"ec-no-keyusage", KeyType::EC}}) {
        SCOPED_TRACE(c.identity);
        StartEntries();
        SigningProviderNSS provider;
        EXPECT_EQ(provider.FindCertificate(CertificateText(c.identity)), SigningResult::Success);
        EXPECT_EQ(provider.GetKeyType(), c.keyType);
        EXPECT_EQ(provider.GetCertificateText(), CertificateText(c.identity));
        const auto entries = NewEntries();
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].text,
                  std::string("Issuer DN of signing certificate: Nerolin Test, ") +
                      (c.keyType == KeyType::RSA ? "Nerolin Test Signing CA RSA" : "Nerolin Test Signing CA EC"));
        EXPECT_EQ(entries[1].text, c.keyType == KeyType::RSA ? "Type of key is RSA" : "Type of key is EC");
    }
    // Not in the database, not a certificate: Failed, and nothing logged.
    StartEntries();
    for (const std::string& text : {CertificateText("qc-esign"), std::string("not base64"), std::string()}) {
        SigningProviderNSS provider;
        EXPECT_EQ(provider.FindCertificate(text), SigningResult::Failed);
        EXPECT_EQ(provider.GetKeyType(), KeyType::Unknown);
        EXPECT_TRUE(provider.GetCertificateText().empty());
    }
    EXPECT_TRUE(NewEntries().empty());
    EXPECT_TRUE(pinTargets().empty()) << "finding a certificate asks for no PIN";
}

TEST_F(NssProviderTest, SelectionOffersEachPassingCertificateOnce)
{
    SigningProviderNSS provider;
    std::string chosen;
    prompts().QueueCertificateChoice(std::nullopt);
    EXPECT_EQ(provider.SelectCertificate(false, {}, chosen), SigningResult::Canceled);
    // rsa is on two tokens but one certificate.
    ASSERT_EQ(prompts().offered.size(), 4u);
    for (const char* name : {"rsa", "ec", "rsa-no-keyusage", "ec-no-keyusage"})
        EXPECT_EQ(std::count(prompts().offered.begin(), prompts().offered.end(), CertificateDerOf(name)), 1) << name;

    // A filter on the EC certificate's fingerprint leaves it alone.
    CertificateCriteria criteria;
    criteria.fingerprint = CertThumbprint(LoadCertificate(SigningIdentity("ec").certificatePem).get());
    prompts().QueueCertificateChoice(0);
    ASSERT_EQ(provider.SelectCertificate(true, {criteria}, chosen), SigningResult::Success);
    ASSERT_EQ(prompts().offered.size(), 1u);
    EXPECT_EQ(chosen, CertificateText("ec"));
    EXPECT_EQ(provider.GetKeyType(), KeyType::EC);

    // Nothing passes: the empty choice knows that certificates were there,
    // and closing it cancels.
    const CertificateCriteria ecOnly = criteria;
    criteria.fingerprint = std::string(40, '0');
    prompts().QueueCertificateChoice(std::nullopt);
    EXPECT_EQ(provider.SelectCertificate(false, {criteria}, chosen), SigningResult::Canceled);
    EXPECT_TRUE(prompts().offered.empty());
    EXPECT_TRUE(prompts().foundBeforeFilter);

    // Refresh reads the tokens again and offers the choice anew.
    prompts().asked = 0;
    prompts().QueueCertificateChoice(kListCertificatesAgain);
    prompts().QueueCertificateChoice(0);
    ASSERT_EQ(provider.SelectCertificate(false, {ecOnly}, chosen), SigningResult::Success);
    EXPECT_EQ(prompts().asked, 2);
    EXPECT_EQ(chosen, CertificateText("ec"));
}

// Each certificate through the composite, as the worker drives it: the
// batch is refused, then each hash is signed and verifies.
TEST_F(NssProviderTest, SignaturesOfEveryKeyVerify)
{
    struct Case {
        std::string identity;
        std::string hashAlgorithm;
        std::size_t hashLength;
        std::string pinTarget;  // the token that asks
        std::string pin;
        std::string moduleName;
    };
    const std::string softHsm = NssDatabase::kSoftHsmModuleName;
    const std::string internal = "NSS Internal PKCS #11 Module";
    const Case cases[] = {
        {"rsa", kSha256, 32, NssDatabase::kTokenLabel, NssDatabase::kTokenPin, softHsm},
        {"rsa", "1.3.14.3.2.26", 20, NssDatabase::kTokenLabel, NssDatabase::kTokenPin, softHsm},
        {"ec-no-keyusage", "2.16.840.1.101.3.4.2.3", 64, NssDatabase::kTokenLabel, NssDatabase::kTokenPin, softHsm},
        {"rsa-no-keyusage", "2.16.840.1.101.3.4.2.2", 48, kSoftwareTokenName, kPassword, internal},
        {"ec", kSha256, 32, kSoftwareTokenName, kPassword, internal},
        // The empty algorithm signs the bytes as they are: no DigestInfo.
        {"rsa-no-keyusage", "", 35, kSoftwareTokenName, kPassword, internal},
        {"ec", "", 32, kSoftwareTokenName, kPassword, internal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identity + " " + c.hashAlgorithm);
        LogoutAllTokens();
        prompts().Clear();
        StartEntries();
        SigningProviderTvr provider;
        provider.Initialize();
        ASSERT_EQ(provider.FindCertificate(CertificateText(c.identity)), SigningResult::Success);
        prompts().QueuePin(c.pin);
        provider.BeginSigning(3);
        EXPECT_EQ(pinTargets(), std::vector<std::string>{c.pinTarget});

        std::vector<HashEntry> batch(3);
        EXPECT_EQ(provider.SignHashes(c.hashAlgorithm, batch), SigningResult::Unsupported);
        for (unsigned i = 0; i < 3; ++i) {
            const Bytes hash = SampleHash(c.hashLength, i);
            std::string signedHash;
            const std::string unsignedHash = Base64Encode(hash, Base64Format::Base64);
            ASSERT_EQ(provider.SignUnsignedHash(c.hashAlgorithm, unsignedHash, signedHash), SigningResult::Success);
            EXPECT_TRUE(SignatureVerifies(c.identity, c.hashAlgorithm, hash, signedHash));
        }
        provider.EndSigning();
        provider.Finalize();

        const auto entries = NewEntries();
        EXPECT_TRUE(HasEntry(entries, EntryType::Information, "Number of unsigned hashes: 3"));
        EXPECT_TRUE(HasEntry(entries, EntryType::Information, "Provider name: " + c.moduleName));
        EXPECT_TRUE(HasEntry(entries, EntryType::Warning, "No alternative signing provider found; using NSS"));
        EXPECT_TRUE(HasEntry(entries, EntryType::Information, "SignHashes started with NSS signing provider"));
        EXPECT_TRUE(HasEntry(entries, EntryType::Information, "SignHashes unsupported"));
        EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                                [](const Entry& e) { return e.text == "SignHash finished successfully"; }),
                  3);
        EXPECT_TRUE(prompts().Messages().empty());
    }
}

TEST_F(NssProviderTest, KeyLocationAnswersWithoutAskingForAPin)
{
    SigningProviderNSS onCard;
    ASSERT_EQ(onCard.FindCertificate(CertificateText("ec-no-keyusage")), SigningResult::Success);
    EXPECT_EQ(onCard.GetProviderName(), NssDatabase::kSoftHsmModuleName);
    EXPECT_EQ(onCard.GetSmartCardReader().rfind("SoftHSM slot", 0), 0u) << onCard.GetSmartCardReader();

    SigningProviderNSS inDatabase;
    ASSERT_EQ(inDatabase.FindCertificate(CertificateText("ec")), SigningResult::Success);
    EXPECT_EQ(inDatabase.GetProviderName(), "NSS Internal PKCS #11 Module");
    EXPECT_EQ(inDatabase.GetSmartCardReader(), "NSS User Private Key and Certificate Services");
    EXPECT_TRUE(pinTargets().empty());

    SigningProviderNSS none;
    EXPECT_EQ(none.GetProviderName(), "");
    EXPECT_EQ(none.GetSmartCardReader(), "");
}

TEST_F(NssProviderTest, OneHashConsidersNoAlternative)
{
    bool asked = false;
    SigningProviderTvr provider([&](const std::string&, SigningProviderStore&) {
        asked = true;
        return std::unique_ptr<SigningProvider>();
    });
    ASSERT_EQ(provider.FindCertificate(CertificateText("ec")), SigningResult::Success);
    prompts().QueuePin(kPassword);
    provider.BeginSigning(1);
    EXPECT_FALSE(asked);
    EXPECT_EQ(NewEntryTexts(), (std::vector<std::string>{"Issuer DN of signing certificate: Nerolin Test, "
                                                         "Nerolin Test Signing CA EC",
                                                         "Type of key is EC", "Number of unsigned hashes: 1",
                                                         "Provider name: NSS Internal PKCS #11 Module"}));
    provider.EndSigning();
}

// A wrong password or PIN: PinIncorrect after one question, never a second
// try of the same answer; a cancel is no error.
TEST_F(NssProviderTest, WrongAndCanceledPinsOfEveryToken)
{
    struct Case {
        std::string identity;
        std::string target;
        std::string goodPin;
    };
    const Case cases[] = {{"ec", kSoftwareTokenName, kPassword},
                          {"ec-no-keyusage", NssDatabase::kTokenLabel, NssDatabase::kTokenPin}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identity);
        SigningProviderNSS provider;
        ASSERT_EQ(provider.FindCertificate(CertificateText(c.identity)), SigningResult::Success);
        const Bytes hash = SampleHash(32, 1);
        std::string signedHash = "untouched";

        LogoutAllTokens();
        prompts().Clear();
        StartEntries();
        prompts().QueuePin("wrong " + c.identity);
        provider.BeginSigning(1);
        EXPECT_EQ(provider.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::PinIncorrect);
        EXPECT_EQ(signedHash, "untouched");
        EXPECT_EQ(pinTargets(), std::vector<std::string>{c.target}) << "asked once, not retried";
        EXPECT_TRUE(HasErrorEntry(NewEntries(), "PK11_Authenticate", SEC_ERROR_BAD_PASSWORD));
        EXPECT_EQ(prompts().Messages().size(), 1u) << "the text for the error";
        provider.EndSigning();

        // The same wrong answer again is refused without reaching the token.
        prompts().Clear();
        prompts().QueuePin("wrong " + c.identity);
        provider.BeginSigning(1);
        EXPECT_EQ(provider.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::PinIncorrect);
        provider.EndSigning();

        prompts().Clear();
        StartEntries();
        prompts().QueuePin(std::nullopt);
        provider.BeginSigning(1);
        EXPECT_EQ(provider.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::Canceled);
        EXPECT_EQ(NewEntryTexts(), std::vector<std::string>{"SignHash started with NSS signing provider"});
        EXPECT_TRUE(prompts().Messages().empty());
        provider.EndSigning();

        prompts().QueuePin(c.goodPin);
        provider.BeginSigning(1);
        ASSERT_EQ(provider.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::Success);
        EXPECT_TRUE(SignatureVerifies(c.identity, kSha256, hash, signedHash));
        provider.EndSigning();
    }
}

TEST_F(NssProviderTest, SignHashFailsWithoutCertificateOrWithUnknownAlgorithm)
{
    const Bytes hash = SampleHash(32, 2);
    std::string signedHash;
    SigningProviderNSS empty;
    empty.BeginSigning(1);
    EXPECT_EQ(empty.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::Failed);

    SigningProviderNSS provider;
    ASSERT_EQ(provider.FindCertificate(CertificateText("ec")), SigningResult::Success);
    prompts().QueuePin(kPassword);
    provider.BeginSigning(1);
    EXPECT_EQ(provider.SignHash("2.16.840.1.101.3.4.2.4", hash.data(), 32, signedHash), SigningResult::Failed);
    EXPECT_EQ(provider.SignHash(kSha256 + std::string(" "), hash.data(), 32, signedHash), SigningResult::Failed);
    EXPECT_TRUE(signedHash.empty());
}

// The software token's key is copied once into a session object for the
// batch, and the copy is gone after EndSigning (or destruction).
TEST_F(NssProviderTest, SessionCopyOfSoftwareKeyLivesOnlyForTheBatch)
{
    SlotPtr softwareToken(PK11_GetInternalKeySlot());
    SlotPtr card(PK11_FindSlotByName(NssDatabase::kTokenLabel));
    ASSERT_TRUE(softwareToken && card);
    const int before = SessionPrivateKeys(softwareToken.get());
    const int beforeCard = SessionPrivateKeys(card.get());
    ASSERT_GE(before, 0);

    for (const bool endSigning : {true, false}) {
        SCOPED_TRACE(endSigning ? "EndSigning" : "destructor");
        LogoutAllTokens();
        {
            SigningProviderTvr provider;
            ASSERT_EQ(provider.FindCertificate(CertificateText("rsa-no-keyusage")), SigningResult::Success);
            prompts().QueuePin(kPassword);
            provider.BeginSigning(5);
            EXPECT_EQ(SessionPrivateKeys(softwareToken.get()), before + 1);
            for (unsigned i = 0; i < 5; ++i) {
                const Bytes hash = SampleHash(32, i);
                std::string signedHash;
                ASSERT_EQ(provider.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::Success);
                EXPECT_TRUE(SignatureVerifies("rsa-no-keyusage", kSha256, hash, signedHash));
            }
            if (endSigning) {
                provider.EndSigning();
                EXPECT_EQ(SessionPrivateKeys(softwareToken.get()), before);
            }
        }
        EXPECT_EQ(SessionPrivateKeys(softwareToken.get()), before);
    }

    // A card's key is used where it is.
    SigningProviderNSS provider;
    ASSERT_EQ(provider.FindCertificate(CertificateText("ec-no-keyusage")), SigningResult::Success);
    prompts().QueuePin(NssDatabase::kTokenPin);
    provider.BeginSigning(2);
    EXPECT_EQ(SessionPrivateKeys(softwareToken.get()), before);
    EXPECT_EQ(SessionPrivateKeys(card.get()), beforeCard);
    provider.EndSigning();
}

}  // namespace
}  // namespace nerolin::test
