// A reader with its own PIN pad: the locking module reports
// CKF_PROTECTED_AUTHENTICATION_PATH and "types" the PIN on its pad when
// NSS logs in without one.

#include <gtest/gtest.h>

#include "providers/linux/SigningProviderNSS.h"
#include "tests/providers/nss/NssTestSupport.h"

namespace nerolin::test {
namespace {

NssDatabaseOptions DatabaseOptions()
{
    NssDatabaseOptions options;
    options.hardwareTokenIdentities = {"ec"};
    options.registration = NssDatabaseOptions::Registration::ModutilDefault;
    options.lockingModule = true;
    options.pinPad = NssDatabase::kTokenPin;
    return options;
}

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NssTestEnvironment(DatabaseOptions()));

SigningResult SignOnce(std::optional<std::string> answer)
{
    LogoutAllTokens();
    NssTestEnvironment::Prompts().Clear();
    SigningProviderNSS provider;
    EXPECT_EQ(provider.FindCertificate(CertificateText("ec")), SigningResult::Success);
    NssTestEnvironment::Prompts().QueuePin(std::move(answer));
    provider.BeginSigning(1);
    const SigningResult result = SignOneHash(provider, "ec", 5);
    provider.EndSigning();
    return result;
}

TEST(PinPadTest, TheQuestionSaysToUseTheReaderAndNothingTypedReachesTheToken)
{
    // Whatever the answer holds, the PIN comes from the pad.
    EXPECT_EQ(SignOnce("typed but unused"), SigningResult::Success);
    ASSERT_EQ(PinQuestions().size(), 1u);
    const PinRequest question = PinQuestions()[0].pin;
    EXPECT_TRUE(question.pinPad);
    EXPECT_EQ(question.kind, PinRequest::Kind::Token);
    EXPECT_EQ(question.target, NssDatabase::kTokenLabel);

    EXPECT_EQ(SignOnce(std::nullopt), SigningResult::Canceled);
    EXPECT_EQ(WrongPinsAtToken(), 0u);
}

}  // namespace
}  // namespace nerolin::test
