// The certificate-store provider on Windows: certificates of the user's
// "MY" found and chosen through the filter, keys in CryptoAPI containers and
// in CNG, signatures checked with OpenSSL.

#include <memory>

#include <gtest/gtest.h>

#include "eventlog/EventCapture.h"
#include "providers/SigningProviderTvr.h"
#include "providers/windows/SigningProviderMSWin.h"
#include "tests/providers/mswin/StoreFixture.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SignatureCheck.h"

namespace nerolin::test {
namespace {

const std::string kSha1 = "1.3.14.3.2.26";
const std::string kSha256 = "2.16.840.1.101.3.4.2.1";
const std::string kSha384 = "2.16.840.1.101.3.4.2.2";
const std::string kSha512 = "2.16.840.1.101.3.4.2.3";

bool Has(const std::vector<CapturedEntry>& entries, EntryType type, const std::string& text)
{
    for (const CapturedEntry& entry : entries)
        if (entry.type == type && entry.text == text) return true;
    return false;
}

CertificateFilter ByFingerprint(std::string_view identity)
{
    CertificateCriteria criteria;
    criteria.fingerprint = Fingerprint(identity);
    return {criteria};
}

class StoreProviderTest : public testing::Test {
protected:
    void SetUp() override { SetUserPrompts(prompts_); }
    void TearDown() override { SetUserPrompts(nullptr); }

    std::shared_ptr<ScriptedPrompts> prompts_ = std::make_shared<ScriptedPrompts>();
    EventCapture events_;
};

// Each case imports its own identity, so that test programs running side by
// side in one Wine prefix never replace each other's certificate.
struct PfxCase {
    const char* identity;
    bool aes;
};
void PrintTo(const PfxCase& param, std::ostream* out) { *out << param.identity; }

class StorePfxTest : public StoreProviderTest, public testing::WithParamInterface<PfxCase> {};

TEST_P(StorePfxTest, ChosenThroughTheFilterSignsAHundredHashesThatVerify)
{
    const PfxCase& param = GetParam();
    ASSERT_TRUE(ImportIntoMy(MakePfx(param.identity, param.aes)));

    SigningProviderTvr composite;
    composite.Initialize();
    prompts_->QueueCertificateChoice(0);
    std::string certificate;
    ASSERT_EQ(composite.SelectCertificate(true, ByFingerprint(param.identity), certificate), SigningResult::Success);
    EXPECT_EQ(certificate, CertificateText(param.identity));
    ASSERT_EQ(prompts_->Recorded().size(), 1u);
    EXPECT_EQ(prompts_->Recorded()[0].text, "1") << "only the certificate the filter names is offered";
    EXPECT_EQ(composite.GetKeyType(), KeyType::RSA);

    composite.BeginSigning(100);
    std::vector<HashEntry> batch(100);
    EXPECT_EQ(composite.SignHashes(kSha256, batch), SigningResult::Unsupported);
    for (std::uint8_t i = 0; i < 100; ++i) {
        // SHA-256 mostly, which the key's own older provider cannot make;
        // the other lengths now and then.
        const std::string& algorithm = i % 10 == 1 ? kSha1 : i % 10 == 2 ? kSha384 : i % 10 == 3 ? kSha512 : kSha256;
        const std::size_t length = algorithm == kSha1 ? 20 : algorithm == kSha384 ? 48 : algorithm == kSha512 ? 64 : 32;
        const Bytes hash = TestHash(length, i);
        std::string signedHash;
        ASSERT_EQ(composite.SignHash(algorithm, hash.data(), static_cast<std::int32_t>(length), signedHash),
                  SigningResult::Success)
            << "hash " << int(i);
        EXPECT_TRUE(SignatureVerifies(param.identity, algorithm, hash, signedHash)) << "hash " << int(i);
    }
    composite.EndSigning();
    composite.Finalize();

    const auto entries = events_.Take();
    EXPECT_TRUE(Has(entries, EntryType::Information, "Number of unsigned hashes: 100"));
    EXPECT_TRUE(Has(entries, EntryType::Information, "Type of key is RSA"));
    EXPECT_TRUE(Has(entries, EntryType::Information, "SignHash started with MSWin signing provider"));
    EXPECT_TRUE(Has(entries, EntryType::Information, "SignHashes started with MSWin signing provider"));
    for (const CapturedEntry& entry : entries) EXPECT_NE(entry.type, EntryType::Error) << entry.text;
    EXPECT_TRUE(prompts_->Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(TripleDesAndAes, StorePfxTest,
                         testing::Values(PfxCase{"rsa", false}, PfxCase{"qc-esign", true}),
                         [](const auto& info) { return std::string(info.param.aes ? "Aes" : "TripleDes"); });

TEST_F(StoreProviderTest, FindCertificateTakesTheStoresCopyAndNothingElse)
{
    ASSERT_TRUE(ImportIntoMy(MakePfx("qc-typelist", false)));
    SigningProviderMSWin provider;
    EXPECT_EQ(provider.FindCertificate(CertificateText("qc-typelist")), SigningResult::Success);
    EXPECT_EQ(provider.GetCertificateText(), CertificateText("qc-typelist"));
    EXPECT_FALSE(provider.GetProviderName().empty()) << "the imported key's provider";
    EXPECT_EQ(provider.GetSmartCardReader(), "") << "a software key has no reader";
    events_.Take();

    // Not in the store, not Base64, not a certificate: Failed, and nothing logged.
    for (const std::string& text :
         {CertificateText("signing-ca-ec"), std::string("not a certificate"),
          std::string("-----BEGIN CERTIFICATE-----\r\nAAAA\r\n-----END CERTIFICATE-----\r\n")}) {
        SigningProviderMSWin other;
        EXPECT_EQ(other.FindCertificate(text), SigningResult::Failed) << text;
        EXPECT_EQ(other.GetCertificateText(), "");
        EXPECT_EQ(other.GetKeyType(), KeyType::Unknown);
    }
    EXPECT_TRUE(events_.Take().empty());
    provider.Finalize();
    EXPECT_EQ(provider.GetCertificateText(), "");
}

TEST_F(StoreProviderTest, NothingPassingTheFilterOffersAnEmptyChoiceThatCancels)
{
    SigningProviderMSWin provider;
    std::string certificate = "untouched";
    EXPECT_EQ(provider.SelectCertificate(false, ByFingerprint("signing-ca-ec"), certificate), SigningResult::Canceled);
    EXPECT_EQ(certificate, "untouched");
    ASSERT_EQ(prompts_->Recorded().size(), 1u);
    EXPECT_EQ(prompts_->Recorded()[0].text, "0");
}

// A certificate whose key property leads nowhere: a container that is not
// there, a CNG key storage provider's key that is not there, no property.
struct UnreachableCase {
    const char* identity;
    const wchar_t* provider;
    DWORD provType;
};
void PrintTo(const UnreachableCase& param, std::ostream* out) { *out << param.identity; }

class UnreachableKeyTest : public StoreProviderTest, public testing::WithParamInterface<UnreachableCase> {};

TEST_P(UnreachableKeyTest, EndsInFailedWithTheEntryAndTheMessageNotACrash)
{
    const UnreachableCase& param = GetParam();
    ASSERT_TRUE(AddToMyWithKeyOf(param.identity, param.provider, L"nerolin-no-such-container", param.provType,
                                 param.provType ? AT_KEYEXCHANGE : 0));
    SigningProviderTvr composite;
    ASSERT_EQ(composite.FindCertificate(CertificateText(param.identity)), SigningResult::Success);
    events_.Take();
    composite.BeginSigning(1);
    const Bytes hash = TestHash(32, 7);
    std::string signedHash = "untouched";
    EXPECT_EQ(composite.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::Failed);
    EXPECT_EQ(signedHash, "untouched");
    composite.EndSigning();

    const auto entries = events_.Take();
    bool reported = false;
    for (const CapturedEntry& entry : entries)
        reported |=
            entry.type == EntryType::Error && entry.text.rfind("CryptAcquireCertificatePrivateKey error: ", 0) == 0;
    EXPECT_TRUE(reported);
    EXPECT_TRUE(Has(entries, EntryType::Information, "SignHash started with MSWin signing provider"));
    EXPECT_TRUE(Has(entries, EntryType::Error, "SignHash failed"));
    EXPECT_EQ(prompts_->Messages().size(), 1u) << "the system's text for the code";
}

INSTANTIATE_TEST_SUITE_P(Keys, UnreachableKeyTest,
                         testing::Values(UnreachableCase{"aki-keyid", MS_ENHANCED_PROV_W, PROV_RSA_FULL},
                                         UnreachableCase{"aki-issuer-serial", MS_KEY_STORAGE_PROVIDER, 0},
                                         UnreachableCase{"expired", nullptr, 0}),
                         [](const auto& info) {
                             return std::string(!info.param.provider  ? "NoKeyProperty"
                                                : info.param.provType ? "CryptoApi"
                                                                      : "Cng");
                         });

TEST_F(StoreProviderTest, CngKeySignsAHundredHashesThatVerify)
{
    NCryptKeyHandle key = ImportCngKey("rsa-encipherment");
    ASSERT_TRUE(key);
    SignerMSWinNCrypt signer(std::move(key), KeyType::RSA);
    for (std::uint8_t i = 0; i < 100; ++i) {
        const Bytes hash = TestHash(32, i);
        std::string signedHash;
        ASSERT_EQ(signer.Sign(kSha256, hash.data(), 32, signedHash), SigningResult::Success) << int(i);
        EXPECT_TRUE(SignatureVerifies("rsa-encipherment", kSha256, hash, signedHash)) << int(i);
    }
    EXPECT_TRUE(events_.Take().empty());
}

TEST_F(StoreProviderTest, SignersRefuseWhatTheyCannotSignWithoutACall)
{
    const Bytes hash = TestHash(32, 1);
    std::string signedHash = "untouched";
    // A CNG key of a kind neither RSA, DSA nor EC; an unknown algorithm.
    SignerMSWinNCrypt unknownKind(ImportCngKey("rsa-encipherment"), KeyType::Unknown);
    EXPECT_EQ(unknownKind.Sign(kSha256, hash.data(), 32, signedHash), SigningResult::Failed);
    SignerMSWinNCrypt rsa(ImportCngKey("rsa-encipherment"), KeyType::RSA);
    EXPECT_EQ(rsa.Sign("1.2.3", hash.data(), 32, signedHash), SigningResult::Failed);
    // CryptoAPI reads the algorithm's size: a shorter hash is refused, not overread.
    SignerMSWinCrypt noProvider(CryptProviderHandle(), AT_SIGNATURE);
    EXPECT_EQ(noProvider.Sign(kSha256, hash.data(), 32, signedHash), SigningResult::Failed);
    EXPECT_EQ(signedHash, "untouched");
    EXPECT_TRUE(events_.Take().empty());
}

}  // namespace
}  // namespace nerolin::test
