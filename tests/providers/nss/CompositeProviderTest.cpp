// The composite's choice between the NSS provider and an alternative, with a
// scripted alternative over the same database as NssProviderTest.

#include <gtest/gtest.h>

#include "providers/SigningProviderTvr.h"
#include "tests/providers/nss/NssTestSupport.h"

namespace nerolin::test {
namespace {

class ScriptedAlternative : public SigningProvider {
public:
    explicit ScriptedAlternative(std::vector<std::string>& calls, SigningResult find, SigningResult sign)
        : calls_(calls),
          find_(find),
          sign_(sign)
    {
    }
    ~ScriptedAlternative() override { calls_.push_back("destroyed"); }
    void Initialize() override { calls_.push_back("Initialize"); }
    void Finalize() override { calls_.push_back("Finalize"); }
    SigningResult FindCertificate(const std::string& certificate) override
    {
        calls_.push_back("FindCertificate " + std::string(certificate == CertificateText("ec") ? "ec" : "other"));
        return find_;
    }
    SigningResult SelectCertificate(bool, const CertificateFilter&, std::string&) override
    {
        return SigningResult::Failed;
    }
    void BeginSigning(std::uint32_t count) override { calls_.push_back("BeginSigning " + std::to_string(count)); }
    void EndSigning() override { calls_.push_back("EndSigning"); }
    SigningResult SignHash(const std::string&, const std::uint8_t*, std::int32_t, std::string& signedHash) override
    {
        calls_.push_back("SignHash");
        signedHash = "by alternative";
        return sign_;
    }
    SigningResult SignHashes(const std::string&, std::vector<HashEntry>&) override
    {
        calls_.push_back("SignHashes");
        return sign_;
    }

private:
    std::vector<std::string>& calls_;
    SigningResult find_;
    SigningResult sign_;
};

class CompositeProviderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogoutAllTokens();
        NssTestEnvironment::Prompts().Clear();
        StartEntries();
    }
    SigningProviderTvr::AlternativeChooser Offering(SigningResult find, SigningResult sign)
    {
        return [this, find, sign](const std::string& providerName, SigningProviderStore&) {
            calls.push_back("chosen for " + providerName);
            return std::make_unique<ScriptedAlternative>(calls, find, sign);
        };
    }
    std::vector<std::string> calls;
};

TEST_F(CompositeProviderTest, AlternativeThatFindsTheCertificateSignsAndIsFinalizedAtTheEnd)
{
    {
        SigningProviderTvr provider(Offering(SigningResult::Success, static_cast<SigningResult>(7)));
        ASSERT_EQ(provider.FindCertificate(CertificateText("ec")), SigningResult::Success);
        provider.BeginSigning(2);
        EXPECT_TRUE(provider.HasAlternative());
        std::string signedHash;
        const Bytes hash = SampleHash(32, 0);
        // An unknown result passes through unchanged and is logged as such.
        EXPECT_EQ(provider.SignHash(kSha256, hash.data(), 32, signedHash), static_cast<SigningResult>(7));
        EXPECT_EQ(signedHash, "by alternative");
        provider.EndSigning();
        EXPECT_TRUE(provider.HasAlternative()) << "kept until destruction";
    }
    EXPECT_EQ(calls,
              (std::vector<std::string>{"chosen for NSS Internal PKCS #11 Module", "Initialize", "FindCertificate ec",
                                        "BeginSigning 2", "SignHash", "EndSigning", "Finalize", "destroyed"}));
    const auto entries = NewEntries();
    EXPECT_TRUE(HasEntry(entries, EntryType::Information,
                         "Certificate found with the alternative signing provider; using NonNSS"));
    EXPECT_TRUE(HasEntry(entries, EntryType::Error, "SignHash finished with unknown result"));
    EXPECT_TRUE(NssTestEnvironment::Prompts().Recorded().empty()) << "the NSS key was never opened";
}

TEST_F(CompositeProviderTest, AlternativeWithoutTheCertificateFallsBackToNss)
{
    SigningProviderTvr provider(Offering(SigningResult::Failed, SigningResult::Success));
    ASSERT_EQ(provider.FindCertificate(CertificateText("ec")), SigningResult::Success);
    NssTestEnvironment::Prompts().QueuePin("nss-password");
    provider.BeginSigning(2);
    EXPECT_FALSE(provider.HasAlternative());
    EXPECT_EQ(calls, (std::vector<std::string>{"chosen for NSS Internal PKCS #11 Module", "Initialize",
                                               "FindCertificate ec", "Finalize", "destroyed"}));
    EXPECT_TRUE(HasEntry(NewEntries(), EntryType::Warning,
                         "Certificate not found with the alternative signing provider; using NSS"));

    std::vector<HashEntry> batch(2);
    EXPECT_EQ(provider.SignHashes(kSha256, batch), SigningResult::Unsupported);
    const Bytes hash = SampleHash(32, 3);
    std::string signedHash;
    ASSERT_EQ(provider.SignHash(kSha256, hash.data(), 32, signedHash), SigningResult::Success);
    EXPECT_TRUE(SignatureVerifies("ec", kSha256, hash, signedHash));
    provider.EndSigning();
}

}  // namespace
}  // namespace nerolin::test
