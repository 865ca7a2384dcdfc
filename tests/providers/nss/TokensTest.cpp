// Cards as users have them, over a database that registers its module as
// modutil does by default (without FRIENDLY): two tokens with PINs, a
// signature key that asks for its own PIN at every use (and shows no public
// key), a key whose CKA_ID is not its certificate's, the issuer's CA
// certificate beside them, and the software token behind a password. The
// tokens are reached through the locking module, which counts wrong PINs.

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>
#include <secerr.h>

#include "providers/linux/NssRuntime.h"
#include "providers/linux/SigningProviderNSS.h"
#include "providers/SigningProviderTvr.h"
#include "tests/providers/nss/NssTestSupport.h"

namespace nerolin::test {
namespace {

constexpr char kPassword[] = "nss-password";
constexpr char kMissingLibrary[] = "/nonexistent/libnerolin-missing-card.so";
const std::vector<std::string> kIdentities = {"rsa", "qc-esign", "ec-no-keyusage", "ec", "aki-keyid"};

NssDatabaseOptions DatabaseOptions()
{
    NssDatabaseOptions options;
    options.hardwareTokenIdentities = {"rsa", "qc-esign", "ec-no-keyusage"};
    options.secondTokenIdentities = {"ec"};
    options.alwaysAuthenticate = {"qc-esign"};
    options.otherKeyId = {"ec-no-keyusage"};
    options.tokenCaCertificates = {"signing-ca-rsa"};
    options.softwareTokenIdentities = {"aki-keyid"};
    options.password = kPassword;
    options.registration = NssDatabaseOptions::Registration::ModutilDefault;
    options.lockingModule = true;
    options.lockingLimit = 10;
    options.missingModuleLibrary = kMissingLibrary;
    return options;
}

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NssTestEnvironment(DatabaseOptions()));

using Kind = PinRequest::Kind;

class TokensTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogoutAllTokens();
        prompts().Clear();
        StartEntries();
    }
    RecordingPrompts& prompts() { return NssTestEnvironment::Prompts(); }

    // Signs count hashes as the worker does and checks every signature.
    void SignAndVerify(SigningProvider& provider, const std::string& identity, unsigned count)
    {
        for (unsigned i = 0; i < count; ++i) {
            const Bytes hash = SampleHash(32, i);
            std::string signedHash;
            ASSERT_EQ(provider.SignUnsignedHash(kSha256, Base64Encode(hash, Base64Format::Base64), signedHash),
                      SigningResult::Success)
                << identity << " hash " << i;
            EXPECT_TRUE(SignatureVerifies(identity, kSha256, hash, signedHash)) << identity << " hash " << i;
        }
    }
};

struct Question {
    Kind kind;
    std::string target;
    bool operator==(const Question&) const = default;
};

std::vector<Question> Questions()
{
    std::vector<Question> questions;
    for (const auto& prompt : PinQuestions()) questions.push_back({prompt.pin.kind, prompt.pin.target});
    return questions;
}

std::ostream& operator<<(std::ostream& out, const Question& question)
{
    return out << (question.kind == Kind::SigningKey ? "key " : "token ") << question.target;
}

TEST_F(TokensTest, ListingAndTheSignLookupAskForNoPin)
{
    SigningProviderNSS provider;
    std::string chosen;
    prompts().QueueCertificateChoice(std::nullopt);
    EXPECT_EQ(provider.SelectCertificate(false, {}, chosen), SigningResult::Canceled);
    EXPECT_EQ(prompts().offered.size(), kIdentities.size());
    for (const std::string& name : kIdentities) {
        EXPECT_EQ(std::count(prompts().offered.begin(), prompts().offered.end(), CertificateDerOf(name)), 1) << name;
        SigningProviderNSS lookup;
        EXPECT_EQ(lookup.FindCertificate(CertificateText(name)), SigningResult::Success) << name;
    }
    // The card's CA certificate has no key on it.
    const Bytes ca = LoadCertificateDer(PkiPath("signing/signing-ca-rsa.pem"));
    ASSERT_FALSE(ca.empty());
    EXPECT_EQ(std::count(prompts().offered.begin(), prompts().offered.end(), ca), 0);
    EXPECT_TRUE(PinQuestions().empty());
}

// The PIN is asked once, for the chosen certificate's token only, when
// signing begins.
TEST_F(TokensTest, OnlyTheChosenTokenIsAskedAndOnlyWhenSigning)
{
    struct Case {
        std::string identity;
        std::string token;
        std::string pin;
    };
    const Case cases[] = {{"ec", NssDatabase::kSecondTokenLabel, NssDatabase::kSecondTokenPin},
                          {"rsa", NssDatabase::kTokenLabel, NssDatabase::kTokenPin},
                          {"aki-keyid", kSoftwareTokenName, kPassword}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identity);
        LogoutAllTokens();
        prompts().Clear();
        SigningProviderNSS provider;
        std::string chosen;
        prompts().QueueCertificateChoice(std::nullopt);
        provider.SelectCertificate(false, {}, chosen);
        const auto at = std::find(prompts().offered.begin(), prompts().offered.end(), CertificateDerOf(c.identity));
        ASSERT_NE(at, prompts().offered.end());
        prompts().QueueCertificateChoice(static_cast<std::size_t>(at - prompts().offered.begin()));
        ASSERT_EQ(provider.SelectCertificate(false, {}, chosen), SigningResult::Success);
        ASSERT_EQ(chosen, CertificateText(c.identity));
        EXPECT_TRUE(PinQuestions().empty());

        prompts().QueuePin(c.pin);
        provider.BeginSigning(2);
        EXPECT_EQ(Questions(), (std::vector<Question>{{Kind::Token, c.token}}));
        EXPECT_EQ(PinQuestions()[0].pin.holder, "Nerolin Test " + c.identity);
        SignAndVerify(provider, c.identity, 2);
        provider.EndSigning();
        EXPECT_EQ(PinQuestions().size(), 1u);
    }
}

// A signature card's key that demands its PIN for each signature: the
// token's PIN once, the key's once, then nothing for the rest of the session.
TEST_F(TokensTest, KeyWithItsOwnPinIsAskedOncePerSession)
{
    SigningProviderTvr provider;
    ASSERT_EQ(provider.FindCertificate(CertificateText("qc-esign")), SigningResult::Success);
    prompts().QueuePin(NssDatabase::kTokenPin);
    prompts().QueuePin(NssDatabase::kTokenPin);  // SoftHSM takes the user PIN for the key too
    provider.BeginSigning(4);
    std::vector<HashEntry> batch(4);
    EXPECT_EQ(provider.SignHashes(kSha256, batch), SigningResult::Unsupported);
    SignAndVerify(provider, "qc-esign", 4);
    provider.EndSigning();
    EXPECT_EQ(Questions(),
              (std::vector<Question>{{Kind::Token, NssDatabase::kTokenLabel}, {Kind::SigningKey, "qc-esign"}}));
    EXPECT_EQ(PinQuestions()[1].pin.holder, "Nerolin Test qc-esign");
    EXPECT_TRUE(prompts().Messages().empty());

    // The next session asks the key's PIN again: it was wiped at the end.
    prompts().Clear();
    prompts().QueuePin(NssDatabase::kTokenPin);
    provider.BeginSigning(2);
    SignAndVerify(provider, "qc-esign", 2);
    provider.EndSigning();
    EXPECT_EQ(Questions(), (std::vector<Question>{{Kind::SigningKey, "qc-esign"}}));
}

TEST_F(TokensTest, WrongKeyPinIsRefusedAndNeverHandedToTheCardAgain)
{
    const unsigned long wrongBefore = WrongPinsAtToken();
    const auto attempt = [&](const std::string& keyPin) {
        LogoutAllTokens();
        prompts().Clear();
        StartEntries();
        SigningProviderNSS provider;
        EXPECT_EQ(provider.FindCertificate(CertificateText("qc-esign")), SigningResult::Success);
        prompts().QueuePin(NssDatabase::kTokenPin);
        prompts().QueuePin(keyPin);
        provider.BeginSigning(3);
        const SigningResult result = SignOneHash(provider, "qc-esign", 9);
        provider.EndSigning();
        return result;
    };
    EXPECT_EQ(attempt("9999"), SigningResult::PinIncorrect);
    EXPECT_EQ(Questions().size(), 2u) << "no second question after the refusal";
    EXPECT_EQ(WrongPinsAtToken(), wrongBefore + 1);
    EXPECT_TRUE(HasErrorEntry(NewEntries(), "PK11_SignWithMechanism", SEC_ERROR_BAD_PASSWORD));

    EXPECT_EQ(attempt("9999"), SigningResult::PinIncorrect);
    EXPECT_EQ(WrongPinsAtToken(), wrongBefore + 1) << "the refused PIN never reached the card again";

    EXPECT_EQ(attempt(NssDatabase::kTokenPin), SigningResult::Success);
}

// NSS pairs a certificate with its key by CKA_ID; this token gives the key
// pair an identifier of its own, and the key is found by its public key.
TEST_F(TokensTest, CertificateWhoseKeyHasAnotherIdSigns)
{
    SigningProviderNSS provider;
    ASSERT_EQ(provider.FindCertificate(CertificateText("ec-no-keyusage")), SigningResult::Success);
    EXPECT_EQ(provider.GetProviderName(), NssDatabase::kLockingModuleName);
    prompts().QueuePin(NssDatabase::kTokenPin);
    provider.BeginSigning(2);
    SignAndVerify(provider, "ec-no-keyusage", 2);
    provider.EndSigning();
    EXPECT_EQ(Questions(), (std::vector<Question>{{Kind::Token, NssDatabase::kTokenLabel}}));
    EXPECT_TRUE(HasEntry(NewEntries(), EntryType::Information, "private key found by its public key, with id: A3"));
}

// NSS drops a registered module whose library is gone without a word; the
// user would see only an empty list.
TEST_F(TokensTest, RegisteredModuleWithoutItsLibraryIsNamedInTheLogAndByTheTool)
{
    const auto unloaded = UnloadedModules();
    ASSERT_EQ(unloaded.size(), 1u);
    EXPECT_EQ(unloaded[0].name, NssDatabase::kMissingModuleName);
    EXPECT_EQ(unloaded[0].library, kMissingLibrary);
    EXPECT_NE(unloaded[0].reason.find("No such file"), std::string::npos) << unloaded[0].reason;
    const std::string entry = std::string("PKCS#11 module \"") + NssDatabase::kMissingModuleName + "\" (" +
                              kMissingLibrary +
                              ") is registered in the certificate database but was not loaded: " + unloaded[0].reason;
    EXPECT_TRUE(HasEntry(AllEntries(), EntryType::Error, entry));

    const ToolRun run = RunCerts("--database " + NssTestEnvironment::Database().spec());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("5 certificate(s)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(std::string("Module not loaded: ") + NssDatabase::kMissingModuleName + " (" +
                              kMissingLibrary + "): "),
              std::string::npos)
        << run.output;
}

TEST_F(TokensTest, CertsRefusesADatabasePathThatHoldsNone)
{
    const std::string folder = NssTestEnvironment::EventStorePath() + ".no-database";
    const ToolRun run = RunCerts("--database sql:" + folder);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_FALSE(std::filesystem::exists(folder)) << "nothing is created";
}

}  // namespace
}  // namespace nerolin::test
