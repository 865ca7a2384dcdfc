// PIN retries of a card, over a database without a password whose software
// token holds rsa, and a token holding ec registered through the locking
// module: it locks its PIN after three wrong PINs in a row, as cards do.

#include <gtest/gtest.h>
#include <secerr.h>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "providers/linux/SigningProviderNSS.h"
#include "providers/SigningProviderTvr.h"
#include "tests/providers/nss/NssTestSupport.h"

namespace nerolin::test {
namespace {

NssDatabaseOptions DatabaseOptions()
{
    NssDatabaseOptions options;
    options.softwareTokenIdentities = {"rsa"};
    options.hardwareTokenIdentities = {"ec"};
    options.lockingModule = true;
    options.lockingLimit = 3;
    return options;
}

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NssTestEnvironment(DatabaseOptions()));

class PinLockingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogoutAllTokens();
        prompts().Clear();
        StartEntries();
    }
    RecordingPrompts& prompts() { return NssTestEnvironment::Prompts(); }
    int pinQuestions()
    {
        int count = 0;
        for (const auto& prompt : prompts().Recorded()) count += prompt.kind == "pin";
        return count;
    }

    // One signing attempt on the card with the given answer to the PIN question.
    SigningResult SignOnCard(std::optional<std::string> pin)
    {
        SigningProviderNSS provider;
        EXPECT_EQ(provider.FindCertificate(CertificateText("ec")), SigningResult::Success);
        LogoutAllTokens();
        prompts().Clear();
        StartEntries();
        prompts().QueuePin(std::move(pin));
        provider.BeginSigning(1);
        const SigningResult result = SignOneHash(provider, "ec", 7);
        provider.EndSigning();
        return result;
    }
};

TEST_F(PinLockingTest, SoftwareTokenWithoutPasswordSignsWithoutAsking)
{
    SigningProviderTvr provider;
    ASSERT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Success);
    provider.BeginSigning(2);
    for (unsigned i = 0; i < 2; ++i) {
        const Bytes hash = SampleHash(32, i);
        std::string signedHash;
        ASSERT_EQ(provider.SignUnsignedHash(kSha256, Base64Encode(hash, Base64Format::Base64), signedHash),
                  SigningResult::Success);
        EXPECT_TRUE(SignatureVerifies("rsa", kSha256, hash, signedHash));
    }
    provider.EndSigning();
    EXPECT_EQ(pinQuestions(), 0);
}

// One story, as the card's retry counter carries over from step to step.
TEST_F(PinLockingTest, RetriesOfACardAreSpentOnlyOnNewAnswers)
{
    // What the question said of the tries left: (few tries left, last try).
    const auto warned = [] {
        const auto questions = PinQuestions();
        return questions.size() == 1 ? std::make_pair(questions[0].pin.fewTriesLeft, questions[0].pin.finalTry)
                                     : std::make_pair(true, true);
    };
    EXPECT_EQ(SignOnCard(std::nullopt), SigningResult::Canceled);
    EXPECT_EQ(WrongPinsAtToken(), 0u);
    EXPECT_EQ(warned(), std::make_pair(false, false));
    EXPECT_EQ(PinQuestions()[0].pin.holder, "Nerolin Test ec");

    // NSS alone would have handed the wrong PIN to the card again.
    EXPECT_EQ(SignOnCard("1111"), SigningResult::PinIncorrect);
    EXPECT_EQ(pinQuestions(), 1);
    EXPECT_EQ(WrongPinsAtToken(), 1u);
    const auto refused = NewEntries();
    EXPECT_TRUE(HasErrorEntry(refused, "PK11_Authenticate", SEC_ERROR_BAD_PASSWORD));
    // The box speaks the user's language, not NSS's English.
    EXPECT_EQ(prompts().Messages(), std::vector<std::string>{LoadString(strings::kTokenRefusedPin)});

    // Typing it again costs the card nothing; the card now warns of it.
    EXPECT_EQ(SignOnCard("1111"), SigningResult::PinIncorrect);
    EXPECT_EQ(WrongPinsAtToken(), 1u);
    EXPECT_EQ(warned(), std::make_pair(true, false));

    // The right PIN resets the card's count.
    EXPECT_EQ(SignOnCard(NssDatabase::kTokenPin), SigningResult::Success);

    EXPECT_EQ(SignOnCard("2222"), SigningResult::PinIncorrect);
    EXPECT_EQ(warned(), std::make_pair(false, false));
    EXPECT_EQ(SignOnCard("3333"), SigningResult::PinIncorrect);
    EXPECT_EQ(warned(), std::make_pair(true, false));
    EXPECT_EQ(SignOnCard("4444"), SigningResult::PinLocked);
    EXPECT_EQ(warned(), std::make_pair(true, true));
    EXPECT_EQ(WrongPinsAtToken(), 4u);
    EXPECT_TRUE(HasErrorEntry(NewEntries(), "PK11_Authenticate", SEC_ERROR_LOCKED_PASSWORD));

    // A locked card is not asked about at all, even with the right PIN at hand.
    EXPECT_EQ(SignOnCard(NssDatabase::kTokenPin), SigningResult::PinLocked);
    EXPECT_EQ(pinQuestions(), 0);
    EXPECT_EQ(WrongPinsAtToken(), 4u);
    EXPECT_TRUE(HasErrorEntry(NewEntries(), "PK11_Authenticate", SEC_ERROR_LOCKED_PASSWORD));
}

}  // namespace
}  // namespace nerolin::test
