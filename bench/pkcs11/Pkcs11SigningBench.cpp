// Signing a session's batch of 100 SHA-256 hashes with the RSA-2048 key of a
// SoftHSM token, side by side in one run:
//   - the provider's signing step, as the composite drives it (BeginSigning,
//     100 SignHash, EndSigning; the module loaded and the certificate found
//     beforehand), with its event entries and their syslog copies as in the
//     program;
//   - a bare loop of the minimal sequence each hash needs (C_OpenSession,
//     C_Login, C_FindObjects for the key, C_SignInit, C_Sign, C_Logout,
//     C_CloseSession). Goal: the provider at most 1.10 times this loop;
//   - the one-session floor (one session, login and key search, then
//     C_SignInit + C_Sign per hash), for the record: what the session and
//     login per hash cost.
// Figures are the calling thread's processor time: SoftHSM signs on the
// calling thread and starts none of its own, and the event log's writer
// thread (which stores the provider's entries) is not the caller's cost.

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "bench/support/GoalLine.h"
#include "bench/support/SideBySide.h"
#include "bench/support/ThreadCpu.h"
#include "common/Text.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "providers/HashAlgorithm.h"
#include "providers/Pkcs11.h"
#include "providers/SigningProviderPKCS11.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestPki.h"

namespace nerolin::bench {
namespace {

constexpr int kBatch = 100;
constexpr int kSamplesPerRound = 7;
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";

std::string gModule;

class AlwaysPin : public test::ScriptedPrompts {
public:
    std::optional<SecretString> AskPin(const PinRequest&) override { return SecretString(test::TestToken::kPin); }
};

Bytes Hash(int i)
{
    Bytes hash(32);
    for (std::size_t j = 0; j < hash.size(); ++j) hash[j] = static_cast<std::uint8_t>(i * 31 + j);
    return hash;
}

Bytes Sha256Data(const Bytes& hash)
{
    const HashAlgorithm* algorithm = FindHashAlgorithm(kSha256);
    Bytes data(algorithm->digestInfoPrefix.begin(), algorithm->digestInfoPrefix.end());
    data.insert(data.end(), hash.begin(), hash.end());
    return data;
}

// The module's function list, loaded and initialized once for the bare loops.
CK_FUNCTION_LIST* Functions()
{
    static CK_FUNCTION_LIST* functions = [] {
        void* handle = dlopen(gModule.c_str(), RTLD_NOW | RTLD_LOCAL);
        CK_FUNCTION_LIST* list = nullptr;
        if (handle) reinterpret_cast<CK_C_GetFunctionList>(dlsym(handle, "C_GetFunctionList"))(&list);
        if (list) list->C_Initialize(nullptr);
        return list;
    }();
    return functions;
}

CK_SLOT_ID TokenSlot(CK_FUNCTION_LIST* f)
{
    CK_SLOT_ID slots[8];
    CK_ULONG count = 8;
    f->C_GetSlotList(CK_TRUE, slots, &count);
    return slots[0];
}

CK_OBJECT_HANDLE FindKey(CK_FUNCTION_LIST* f, CK_SESSION_HANDLE session)
{
    CK_OBJECT_CLASS keyClass = CKO_PRIVATE_KEY;
    CK_BYTE id = 0x01;
    CK_ATTRIBUTE search[2] = {{CKA_CLASS, &keyClass, sizeof keyClass}, {CKA_ID, &id, 1}};
    CK_OBJECT_HANDLE key = CK_INVALID_HANDLE;
    CK_ULONG found = 0;
    f->C_FindObjectsInit(session, search, 2);
    f->C_FindObjects(session, &key, 1, &found);
    f->C_FindObjectsFinal(session);
    return found == 1 ? key : CK_INVALID_HANDLE;
}

bool SignOnce(CK_FUNCTION_LIST* f, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE key, const Bytes& data)
{
    CK_MECHANISM mechanism{CKM_RSA_PKCS, nullptr, 0};
    CK_BYTE signature[512];
    CK_ULONG size = sizeof signature;
    if (f->C_SignInit(session, &mechanism, key) != CKR_OK) return false;
    return f->C_Sign(session, const_cast<CK_BYTE*>(data.data()), data.size(), signature, &size) == CKR_OK;
}

std::optional<double> ProviderBatch(SigningProviderPKCS11& provider)
{
    const double start = ThreadCpuSeconds();
    provider.BeginSigning(kBatch);
    for (int i = 0; i < kBatch; ++i) {
        const Bytes hash = Hash(i);
        std::string signature;
        if (provider.SignHash(kSha256, hash.data(), 32, signature) != SigningResult::Success) return std::nullopt;
    }
    provider.EndSigning();
    return ThreadCpuSeconds() - start;
}

std::optional<double> BareBatch()
{
    CK_FUNCTION_LIST* f = Functions();
    const CK_SLOT_ID slot = TokenSlot(f);
    const double start = ThreadCpuSeconds();
    for (int i = 0; i < kBatch; ++i) {
        CK_SESSION_HANDLE session;
        if (f->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session) != CKR_OK) return std::nullopt;
        f->C_Login(session, CKU_USER, (CK_UTF8CHAR_PTR) "1234", 4);
        const CK_OBJECT_HANDLE key = FindKey(f, session);
        const bool ok = SignOnce(f, session, key, Sha256Data(Hash(i)));
        f->C_Logout(session);
        f->C_CloseSession(session);
        if (!ok) return std::nullopt;
    }
    return ThreadCpuSeconds() - start;
}

std::optional<double> OneSessionBatch()
{
    CK_FUNCTION_LIST* f = Functions();
    const CK_SLOT_ID slot = TokenSlot(f);
    const double start = ThreadCpuSeconds();
    CK_SESSION_HANDLE session;
    if (f->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session) != CKR_OK) return std::nullopt;
    f->C_Login(session, CKU_USER, (CK_UTF8CHAR_PTR) "1234", 4);
    const CK_OBJECT_HANDLE key = FindKey(f, session);
    bool ok = true;
    for (int i = 0; ok && i < kBatch; ++i) ok = SignOnce(f, session, key, Sha256Data(Hash(i)));
    f->C_Logout(session);
    f->C_CloseSession(session);
    if (!ok) return std::nullopt;
    return ThreadCpuSeconds() - start;
}

bool Run()
{
    // The provider loads the module itself; the bare loops share it, which
    // the module allows (a second C_Initialize only says it is initialized).
    SigningProviderPKCS11 provider(gModule);
    provider.Initialize();
    const std::string certificate =
        Base64Encode(test::LoadCertificateDer(test::SigningIdentity("rsa").certificatePem), Base64Format::Base64Header);
    if (provider.FindCertificate(certificate) != SigningResult::Success) {
        std::fprintf(stderr, "bench_pkcs11: the certificate is not on the token\n");
        return false;
    }
    const auto figures = MeasureSideBySide([&] { return ProviderBatch(provider); }, BareBatch, kSamplesPerRound);
    const auto floor = MeasureSideBySide(BareBatch, OneSessionBatch, kSamplesPerRound);
    provider.Finalize();
    if (!figures || !floor) {
        std::fprintf(stderr, "bench_pkcs11: signing failed\n");
        return false;
    }
    std::printf("100 RSA-2048 SHA-256 signatures on SoftHSM, thread CPU time per batch\n");
    std::printf("  SigningProviderPKCS11:               %s\n", FormatSpread(figures->subject).c_str());
    std::printf("  bare loop, minimal calls per hash:   %s\n", FormatSpread(figures->reference).c_str());
    std::printf("  one session, C_Sign per hash:        %s\n", FormatSpread(floor->reference).c_str());
    std::printf("  bare / one session: %.2fx (a session and a login per hash; %s; no goal)\n", floor->ratio,
                floor->agreed.Note().c_str());
    PrintGoalLine({"PKCS#11 provider, 100-hash batch: <= 1.10 x bare per-hash loop",
                   FormatSpread(figures->subject) + " vs " + FormatSpread(figures->reference), figures->ratio,
                   figures->ratio <= 1.10, figures->agreed.Note() + ", thread CPU, SoftHSM"});
    return true;
}

}  // namespace
}  // namespace nerolin::bench

int main()
{
    using namespace nerolin;
    char pattern[] = "/tmp/nerolin-bench-pkcs11-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string folder = pattern;
    const std::optional<test::TestToken> token = test::MakeTestToken(folder + "/token", "--token-certs rsa");
    if (!token) {
        std::fprintf(stderr, "bench_pkcs11: cannot make the SoftHSM token\n");
        return 1;
    }
    setenv("SOFTHSM2_CONF", token->softhsmConf.c_str(), 1);
    bench::gModule = token->module;
    // Entries go to a store of the run's own, with their syslog copies, as
    // the program's would go to the user's: their cost is part of the
    // provider's.
    RegisterEventSource(folder + "/eventlog.sqlite");
    SetUserPrompts(std::make_shared<bench::AlwaysPin>());
    const bool ran = bench::Run();
    std::system(("rm -rf " + folder).c_str());
    return ran ? 0 : 1;
}
