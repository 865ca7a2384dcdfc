// Signing hashes through a PKCS#11 module: PINs, finding the key, the data
// handed to C_Sign, and the signatures themselves (checked with OpenSSL).

#include <dlfcn.h>

#include <algorithm>

#include <openssl/core_names.h>

#include "common/OpenSslOwners.h"
#include "providers/HashAlgorithm.h"
#include "providers/Pkcs11.h"
#include "providers/SigningProviderPKCS11.h"
#include "tests/providers/pkcs11/Pkcs11Fixture.h"

namespace nerolin::test {
namespace {

const std::string kSha256 = "2.16.840.1.101.3.4.2.1";
// The token label as CK_TOKEN_INFO holds it: 32 bytes, blank padded.
const std::string kPaddedLabel = std::string(TestToken::kLabel) + std::string(32 - 18, ' ');

class Pkcs11SigningTest : public Pkcs11Test {
protected:
    // A provider over module that found certificate name.
    std::unique_ptr<SigningProviderPKCS11> Provider(const std::string& name,
                                                    const std::string& module = NEROLIN_P11_SHIM)
    {
        auto provider = std::make_unique<SigningProviderPKCS11>(module);
        provider->Initialize();
        EXPECT_EQ(provider->FindCertificate(CertificateText(name)), SigningResult::Success);
        return provider;
    }

    std::vector<std::string> PinTargets() const
    {
        std::vector<std::string> targets;
        for (const RecordedPrompt& prompt : prompts_->Recorded())
            if (prompt.kind == "pin") targets.push_back(prompt.text);
        return targets;
    }

    // Writes, through the PKCS#11 interface, a public key object of the
    // named EC certificate whose CKA_EC_POINT is the bare point.
    void WriteBareEcPublicKey(const std::string& name, Bytes id)
    {
        UniqueX509 certificate = LoadCertificate(SigningIdentity(name).certificatePem);
        EVP_PKEY* key = X509_get0_pubkey(certificate.get());
        unsigned char point[133];
        std::size_t pointLength = 0;
        ASSERT_TRUE(EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point, &pointLength));
        unsigned char parameters[] = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};  // P-256

        void* handle = dlopen(NEROLIN_SOFTHSM_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr);
        CK_FUNCTION_LIST* f = nullptr;
        reinterpret_cast<CK_C_GetFunctionList>(dlsym(handle, "C_GetFunctionList"))(&f);
        ASSERT_EQ(f->C_Initialize(nullptr), CKR_OK);
        CK_SLOT_ID slots[4];
        CK_ULONG count = 4;
        ASSERT_EQ(f->C_GetSlotList(CK_TRUE, slots, &count), CKR_OK);
        CK_SESSION_HANDLE session;
        ASSERT_EQ(f->C_OpenSession(slots[0], CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session), CKR_OK);
        ASSERT_EQ(f->C_Login(session, CKU_USER, (CK_UTF8CHAR_PTR) "1234", 4), CKR_OK);
        CK_OBJECT_CLASS keyClass = CKO_PUBLIC_KEY;
        CK_KEY_TYPE keyType = CKK_EC;
        CK_BBOOL yes = CK_TRUE;
        CK_ATTRIBUTE attributes[] = {
            {CKA_CLASS, &keyClass, sizeof keyClass},
            {CKA_KEY_TYPE, &keyType, sizeof keyType},
            {CKA_TOKEN, &yes, sizeof yes},
            {CKA_ID, id.data(), id.size()},
            {CKA_EC_PARAMS, parameters, sizeof parameters},
            {CKA_EC_POINT, point, pointLength},
        };
        CK_OBJECT_HANDLE object;
        EXPECT_EQ(f->C_CreateObject(session, attributes, 6, &object), CKR_OK);
        f->C_Logout(session);
        f->C_CloseSession(session);
        f->C_Finalize(nullptr);
        dlclose(handle);
    }

    std::string TokenTool(const std::string& arguments)
    {
        return std::string("pkcs11-tool --module ") + NEROLIN_SOFTHSM_MODULE +
               " --token-label 'Nerolin Test Token' --login --pin 1234 " + arguments;
    }
};

TEST_F(Pkcs11SigningTest, RsaSignsEachAlgorithmWithItsDigestInfo)
{
    MakeToken();
    const std::string trace = StartTrace();
    auto provider = Provider("rsa");

    struct Case {
        std::string oid;
        const EVP_MD* digest;
        std::size_t length;
        std::size_t signedLength;  // DigestInfo prefix and hash
    };
    const Case cases[] = {
        {"1.3.14.3.2.26", EVP_sha1(), 20, 35},
        {kSha256, EVP_sha256(), 32, 51},
        {"2.16.840.1.101.3.4.2.2", EVP_sha384(), 48, 67},
        {"2.16.840.1.101.3.4.2.3", EVP_sha512(), 64, 83},
        {"", nullptr, 40, 40},  // the bytes as they are
    };
    prompts_->QueuePin("1234");
    for (const Case& c : cases) {
        const Bytes hash = TestHash(c.length);
        std::string signature;
        ASSERT_EQ(provider->SignHash(c.oid, hash.data(), static_cast<std::int32_t>(hash.size()), signature),
                  SigningResult::Success)
            << c.oid;
        EXPECT_TRUE(VerifySignature("rsa", c.digest, hash, signature)) << c.oid;
        EXPECT_NE(signature.find("\r\n"), std::string::npos);  // 64-character lines
    }
    provider->EndSigning();
    provider->Finalize();

    // The PIN was asked once, for the token by its label, and each
    // signature logged in and out in a session of its own.
    EXPECT_EQ(PinTargets(), std::vector<std::string>{kPaddedLabel});
    std::vector<std::string> signs;
    const std::vector<std::string> calls = ReadLines(trace);
    for (const std::string& call : calls)
        if (call.rfind("C_Sign ", 0) == 0) signs.push_back(call);
    EXPECT_EQ(signs, (std::vector<std::string>{"C_Sign 35", "C_Sign 51", "C_Sign 67", "C_Sign 83", "C_Sign 40"}));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "C_Login 1"), 5);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "C_Logout"), 5);
    // Every session that opened was closed; the one that did not open is
    // SoftHSM's free slot, met while collecting certificates.
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "C_OpenSession"),
              std::count(calls.begin(), calls.end(), "C_CloseSession") + 1);
    EXPECT_TRUE(events_->Has(EntryType::Information, "SignHash started with PKCS#11 signing provider"));
    EXPECT_TRUE(events_->Has(EntryType::Information, "private key found with id: 01"));
}

TEST_F(Pkcs11SigningTest, EcSignsTheHashAsGivenAsRThenS)
{
    MakeToken();
    auto provider = Provider("ec");
    prompts_->QueuePin("1234");
    for (const std::string& oid : {kSha256, std::string("2.16.840.1.101.3.4.2.3")}) {
        // The algorithm is not looked at: the module signs the bytes handed in.
        const Bytes hash = TestHash(32, 9);
        std::string signature;
        ASSERT_EQ(provider->SignHash(oid, hash.data(), 32, signature), SigningResult::Success);
        EXPECT_EQ(Base64Decode(signature, Base64Format::Base64).size(), 64u);
        EXPECT_TRUE(VerifySignature("ec", nullptr, hash, signature));
    }
    EXPECT_EQ(provider->SignHashes(kSha256, *std::make_unique<std::vector<HashEntry>>()), SigningResult::Unsupported);
    EXPECT_TRUE(events_->Has(EntryType::Information, "SignHashes started with PKCS#11 signing provider"));
}

TEST_F(Pkcs11SigningTest, UnusableAlgorithmOrKeyFailsBeforeAnyModuleCall)
{
    MakeToken();
    auto provider = Provider("rsa");
    const std::string trace = StartTrace();
    const Bytes hash = TestHash(28);
    std::string signature = "untouched";
    EXPECT_EQ(provider->SignHash("2.16.840.1.101.3.4.2.4", hash.data(), 28, signature), SigningResult::Failed);
    EXPECT_EQ(provider->SignHash(kSha256 + " ", hash.data(), 28, signature), SigningResult::Failed);
    EXPECT_EQ(signature, "untouched");

    // Without a found certificate the key type is unknown.
    SigningProviderPKCS11 unfound(NEROLIN_P11_SHIM);
    unfound.Initialize();
    EXPECT_EQ(unfound.SignHash(kSha256, hash.data(), 28, signature), SigningResult::Failed);
    unfound.Finalize();

    EXPECT_TRUE(ReadLines(trace).size() <= 2u);  // at most the second load's C_Initialize and C_Finalize
    for (const std::string& call : ReadLines(trace))
        EXPECT_TRUE(call == "C_Initialize" || call == "C_Finalize") << call;
    EXPECT_TRUE(PinTargets().empty());
}

TEST_F(Pkcs11SigningTest, FailingModuleCallsAreLoggedAndEveryPathLogsOutAndCloses)
{
    MakeToken();
    auto provider = Provider("rsa");
    prompts_->QueuePin("1234");
    const std::string trace = StartTrace();
    const Bytes hash = TestHash(32);
    const std::pair<const char*, const char*> cases[] = {
        {"C_SignInit", "C_SignInit return value: 0x00000006"},
        {"C_Sign", "C_Sign1 return value: 0x00000006"},
        {"C_FindObjectsInit", "C_FindObjectsInit return value: 0x00000006"},
    };
    for (const auto& [call, entry] : cases) {
        ScopedEnvironment fail("NEROLIN_SHIM_FAIL", call);
        std::string signature = "untouched";
        EXPECT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::Failed) << call;
        EXPECT_EQ(signature, "untouched");
        EXPECT_TRUE(events_->Has(EntryType::Error, entry)) << call;
    }
    const std::vector<std::string> calls = ReadLines(trace);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "C_Login 1"), 3);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "C_Logout"), 3);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "C_OpenSession"), 3);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "C_CloseSession"), 3);

    // Certificates cannot be gathered: the search fails as a whole.
    for (const auto& [call, entry] : {std::pair{"C_GetSlotList", "C_GetSlotList1 return value: 0x00000006"},
                                      std::pair{"C_FindObjectsInit", "C_FindObjectsInit return value: 0x00000006"}}) {
        ScopedEnvironment fail("NEROLIN_SHIM_FAIL", call);
        EventCapture capture;
        EXPECT_EQ(provider->FindCertificate(CertificateText("rsa")), SigningResult::Failed) << call;
        EXPECT_TRUE(capture.Has(EntryType::Error, entry)) << call;
    }
}

TEST_F(Pkcs11SigningTest, WrongPinIsKeptUntilEndSigning)
{
    MakeToken();
    auto provider = Provider("rsa");
    const Bytes hash = TestHash(32);
    std::string signature;

    prompts_->QueuePin("9999");
    EXPECT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::PinIncorrect);
    EXPECT_TRUE(events_->Has(EntryType::Error, "C_Login(CKU_USER) return value: 0x000000A0"));
    // The refused PIN is still the session's PIN: no second question.
    EXPECT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::PinIncorrect);
    EXPECT_EQ(PinTargets().size(), 1u);

    provider->EndSigning();
    prompts_->QueuePin("1234");
    EXPECT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::Success);
    EXPECT_EQ(PinTargets().size(), 2u);
}

TEST_F(Pkcs11SigningTest, TokenThatLocksAfterWrongPinsGivesPinLocked)
{
    MakeToken();
    ScopedEnvironment limit("NEROLIN_LOCKING_LIMIT", "2");
    auto provider = Provider("rsa", NEROLIN_LOCKING_MODULE);
    const Bytes hash = TestHash(32);
    std::string signature;
    // Each signing session tries one wrong PIN, until the token locks.
    SigningResult result = SigningResult::PinIncorrect;
    for (int session = 0; session < 5 && result == SigningResult::PinIncorrect; ++session) {
        prompts_->QueuePin("0000");
        result = provider->SignHash(kSha256, hash.data(), 32, signature);
        provider->EndSigning();
    }
    EXPECT_EQ(result, SigningResult::PinLocked);
    // Locked now: even the right PIN is refused.
    prompts_->QueuePin("1234");
    EXPECT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::PinLocked);
    EXPECT_TRUE(events_->Has(EntryType::Error, "C_Login(CKU_USER) return value: 0x000000A4"));
    provider->Finalize();
}

TEST_F(Pkcs11SigningTest, CanceledPinSendsNothingToTheModule)
{
    MakeToken();
    auto provider = Provider("rsa");
    const std::string trace = StartTrace();
    const Bytes hash = TestHash(32);
    std::string signature;
    prompts_->QueuePin(std::nullopt);
    EXPECT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::Canceled);
    for (const std::string& call : ReadLines(trace)) EXPECT_EQ(call.rfind("C_Login", 0), std::string::npos) << call;
    EXPECT_EQ(ReadLines(trace), (std::vector<std::string>{"C_OpenSession", "C_CloseSession"}));
}

TEST_F(Pkcs11SigningTest, TokenWithoutLoginIsNeitherAskedNorLoggedOut)
{
    MakeToken();
    ScopedEnvironment noLogin("NEROLIN_SHIM_NO_LOGIN", TestToken::kPin);
    auto provider = Provider("rsa");
    const std::string trace = StartTrace();
    const Bytes hash = TestHash(32);
    std::string signature;
    EXPECT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::Success);
    EXPECT_TRUE(VerifySignature("rsa", EVP_sha256(), hash, signature));
    EXPECT_TRUE(PinTargets().empty());
    for (const std::string& call : ReadLines(trace)) {
        EXPECT_EQ(call.rfind("C_Login", 0), std::string::npos) << call;
        EXPECT_NE(call, "C_Logout");
    }
}

TEST_F(Pkcs11SigningTest, KeyWithOtherIdIsFoundByItsPublicKey)
{
    MakeToken("--token-certs ''");
    ASSERT_TRUE(Run("softhsm2-util --import " + SigningIdentity("rsa").privateKeyPem +
                    " --token 'Nerolin Test Token' --label rsa --id 11 --pin 1234"));
    ASSERT_TRUE(Run(TokenTool("--write-object " + SigningIdentity("rsa").certificateDer + " --type cert --id 01")));

    auto provider = Provider("rsa");
    const Bytes hash = TestHash(32);
    std::string first;
    std::string second;
    prompts_->QueuePin("1234");
    ASSERT_EQ(provider->SignHash(kSha256, hash.data(), 32, first), SigningResult::Success);
    EXPECT_TRUE(VerifySignature("rsa", EVP_sha256(), hash, first));
    EXPECT_TRUE(events_->Has(EntryType::Warning, "private key not found with id: 01"));
    EXPECT_TRUE(events_->Has(EntryType::Information, "private key found with id: 11"));

    // The better identifier is kept for the next hashes.
    EventCapture later;
    ASSERT_EQ(provider->SignHash(kSha256, hash.data(), 32, second), SigningResult::Success);
    EXPECT_EQ(later.Entries(), (std::vector<Entry>{
                                   {EntryType::Information, "SignHash started with PKCS#11 signing provider"},
                                   {EntryType::Information, "private key found with id: 11"},
                               }));
}

TEST_F(Pkcs11SigningTest, BareEcPointMatchesTheCertificate)
{
    MakeToken("--token-certs ''");
    ASSERT_TRUE(Run(TokenTool("--write-object " + SigningIdentity("ec").privateKeyPem + " --type privkey --id 22")));
    ASSERT_TRUE(Run(TokenTool("--write-object " + SigningIdentity("ec").certificateDer + " --type cert --id 02")));
    WriteBareEcPublicKey("ec", {0x22});

    auto provider = Provider("ec");
    const Bytes hash = TestHash(32);
    std::string signature;
    prompts_->QueuePin("1234");
    ASSERT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::Success);
    EXPECT_TRUE(VerifySignature("ec", nullptr, hash, signature));
    EXPECT_TRUE(events_->Has(EntryType::Information, "private key found with id: 22"));
}

TEST_F(Pkcs11SigningTest, NoMatchingPublicKeyFails)
{
    MakeToken("--token-certs ''");
    ASSERT_TRUE(Run(TokenTool("--write-object " + SigningIdentity("ec").privateKeyPem + " --type privkey --id 22")));
    ASSERT_TRUE(Run(TokenTool("--write-object " + SigningIdentity("ec").certificateDer + " --type cert --id 02")));

    auto provider = Provider("ec");
    const Bytes hash = TestHash(32);
    std::string signature;
    prompts_->QueuePin("1234");
    EXPECT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::Failed);
    EXPECT_TRUE(events_->Has(EntryType::Error, "public key not found for certificate"));
}

TEST_F(Pkcs11SigningTest, AlwaysAuthenticateKeyAsksItsOwnPinOnce)
{
    MakeToken("--token-certs ''");
    ASSERT_TRUE(Run(TokenTool("--write-object " + SigningIdentity("qc-esign").privateKeyPem +
                              " --type privkey --always-auth --id 03 --label 'always key'")));
    ASSERT_TRUE(
        Run(TokenTool("--write-object " + SigningIdentity("qc-esign").certificateDer + " --type cert --id 03")));

    auto provider = Provider("qc-esign");
    const std::string trace = StartTrace();
    prompts_->QueuePin("1234");
    prompts_->QueuePin("1234");
    for (std::uint8_t seed : {1, 2}) {
        const Bytes hash = TestHash(32, seed);
        std::string signature;
        ASSERT_EQ(provider->SignHash(kSha256, hash.data(), 32, signature), SigningResult::Success);
        EXPECT_TRUE(VerifySignature("qc-esign", EVP_sha256(), hash, signature));
    }
    EXPECT_EQ(PinTargets(), (std::vector<std::string>{kPaddedLabel, "always key"}));

    // The key's own login follows C_SignInit, for every signature.
    std::vector<std::string> logins;
    for (const std::string& call : ReadLines(trace))
        if (call.rfind("C_Login", 0) == 0 || call.rfind("C_SignInit", 0) == 0) logins.push_back(call);
    EXPECT_EQ(logins, (std::vector<std::string>{"C_Login 1", "C_SignInit 1", "C_Login 2", "C_Login 1", "C_SignInit 1",
                                                "C_Login 2"}));
}

}  // namespace
}  // namespace nerolin::test
