// A real smart-card stack: OpenSC's PKCS#11 module talks through pcscd and
// vpcd's virtual reader to a CAC card that libcacard emulates over an NSS
// database (nerolin-cacard-card). Nerolin signs on it by both of its paths,
// and OpenSSL checks every signature:
//  - the PKCS#11 provider loading OpenSC itself;
//  - the NSS provider, reaching OpenSC through p11-kit as a system that
//    registers OpenSC's module file does (an empty database, and a p11-kit
//    configuration of the test's own that holds OpenSC alone).

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "providers/linux/NssRuntime.h"
#include "providers/linux/SigningProviderNSS.h"
#include "providers/SigningProviderPKCS11.h"
#include "providers/SmartCardName.h"
#include "tests/providers/pcsc/PrivatePcscd.h"
#include "tests/support/P11KitConfig.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SignatureCheck.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kPin[] = "1234";  // the card database's password
constexpr char kIdentity[] = "rsa";
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";

class ChoosingPrompts : public ScriptedPrompts {
public:
    std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound) override
    {
        offered = certificates;
        return ScriptedPrompts::ChooseCertificate(certificates, anyFound);
    }
    std::vector<Bytes> offered;
};

// pcscd, the card in the first reader, a home and prompts for the test.
class SmartCardSigningTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!pcscd_.Unavailable().empty()) GTEST_SKIP() << pcscd_.Unavailable();
        if (access(NEROLIN_OPENSC_MODULE, R_OK) != 0) GTEST_SKIP() << "OpenSC is not installed (package opensc-pkcs11)";
        const fs::path home = pcscd_.folder();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
            setenv(name, home.c_str(), 1);
        RegisterEventSource((home / "events.sqlite").string());
        SetUserPrompts(prompts_);

        // The card's contents: the certificate and key of kIdentity behind the PIN.
        const fs::path card = home / "card";
        fs::create_directories(card);
        std::ofstream(home / "pin") << kPin << "\n";
        const std::string database = "sql:" + card.string();
        const std::string made = "certutil -N -d " + database + " -f " + (home / "pin").string() +
                                 " >/dev/null 2>&1 && pk12util -i " + SigningIdentity(kIdentity).pkcs12 + " -d " +
                                 database + " -W '' -k " + (home / "pin").string() + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(made.c_str()), 0) << made;

        ASSERT_TRUE(pcscd_.Start()) << pcscd_.Log();
        card_ = std::make_unique<Child>(
            std::vector<std::string>{NEROLIN_CACARD_CARD, card.string(), std::to_string(pcscd_.port()), kIdentity},
            home / "card.log");
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (ReadCardAtr(PrivatePcscd::kReader).empty() && Clock::now() < deadline && !card_->Exited())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_FALSE(ReadCardAtr(PrivatePcscd::kReader).empty()) << "card:\n"
                                                                 << ReadAll(home / "card.log") << "\npcscd:\n"
                                                                 << pcscd_.Log();
    }
    void TearDown() override { SetUserPrompts(nullptr); }

    // Signs two hashes as the worker does and checks them.
    void SignTwoAndVerify(SigningProvider& provider)
    {
        for (unsigned i = 0; i < 2; ++i) {
            Bytes hash(32);
            for (std::size_t j = 0; j < hash.size(); ++j) hash[j] = static_cast<std::uint8_t>(i * 29 + j * 3 + 1);
            std::string signedHash;
            ASSERT_EQ(provider.SignUnsignedHash(kSha256, Base64Encode(hash, Base64Format::Base64), signedHash),
                      SigningResult::Success)
                << "hash " << i;
            EXPECT_TRUE(SignatureVerifies(kIdentity, kSha256, hash, signedHash)) << "hash " << i;
        }
    }

    int PinQuestions() const
    {
        int count = 0;
        for (const auto& prompt : prompts_->Recorded()) count += prompt.kind == "pin";
        return count;
    }

    PrivatePcscd pcscd_;
    std::unique_ptr<Child> card_;
    std::shared_ptr<ChoosingPrompts> prompts_ = std::make_shared<ChoosingPrompts>();
};

TEST_F(SmartCardSigningTest, Pkcs11ProviderSignsOnTheCardThroughOpenSc)
{
    SigningProviderPKCS11 provider(NEROLIN_OPENSC_MODULE);
    provider.Initialize();
    ASSERT_EQ(provider.FindCertificate(Base64Encode(LoadCertificateDer(SigningIdentity(kIdentity).certificateDer),
                                                    Base64Format::Base64Header)),
              SigningResult::Success);
    prompts_->QueuePin(kPin);
    provider.BeginSigning(2);
    SignTwoAndVerify(provider);
    provider.EndSigning();
    provider.Finalize();
    EXPECT_EQ(PinQuestions(), 1);
}

TEST_F(SmartCardSigningTest, NssProviderOffersTheCardThroughP11KitAndSignsOnIt)
{
    const fs::path home = pcscd_.folder();
    fs::create_directories(home / "nssdb");
    ASSERT_EQ(std::system(("certutil -N -d sql:" + (home / "nssdb").string() + " --empty-password").c_str()), 0);
    const std::string unusable =
        UsePrivateP11KitConfig((home / "p11-kit").string(), {{"opensc", NEROLIN_OPENSC_MODULE}});
    if (!unusable.empty()) GTEST_SKIP() << "no p11-kit configuration of the test's own: " << unusable;
    ASSERT_TRUE(InitializeNss("sql:" + (home / "nssdb").string()));

    SigningProviderNSS provider;
    const Bytes der = LoadCertificateDer(SigningIdentity(kIdentity).certificateDer);
    std::string chosen;
    prompts_->QueueCertificateChoice(std::nullopt);
    provider.SelectCertificate(false, {}, chosen);
    const auto at = std::find(prompts_->offered.begin(), prompts_->offered.end(), der);
    ASSERT_NE(at, prompts_->offered.end()) << prompts_->offered.size() << " certificate(s) offered";
    EXPECT_EQ(PinQuestions(), 0) << "listing asks for no PIN";

    prompts_->QueueCertificateChoice(static_cast<std::size_t>(at - prompts_->offered.begin()));
    ASSERT_EQ(provider.SelectCertificate(false, {}, chosen), SigningResult::Success);
    prompts_->QueuePin(kPin);
    provider.BeginSigning(2);
    SignTwoAndVerify(provider);
    provider.EndSigning();
    EXPECT_EQ(PinQuestions(), 1);
}

}  // namespace
}  // namespace nerolin::test
