// Signing a session's batch of 100 SHA-256 hashes with the RSA-2048 key of a
// SoftHSM token, three ways:
//   - through SigningProviderPKCS11, as the composite drives it (BeginSigning,
//     100 SignHash, EndSigning; the module loaded and the certificate found
//     beforehand);
//   - a bare loop making the same module calls per hash (token info, session,
//     login, key search by CKA_ID, CKA_ALWAYS_AUTHENTICATE, C_SignInit, C_Sign
//     twice, logout, close): the provider's own overhead on top of them;
//   - one session, one login, one key search and C_SignInit + C_Sign per hash:
//     the floor, what the per-hash session costs.
// After Google Benchmark's table, a summary prints the median batch per
// signature of each and both ratios.

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include <benchmark/benchmark.h>

#include "common/Text.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventLogReporter.h"
#include "providers/HashAlgorithm.h"
#include "providers/Pkcs11.h"
#include "providers/SigningProviderPKCS11.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestPki.h"

namespace nerolin::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBatch = 100;
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";

std::string gModule;
std::map<std::string, std::vector<double>> gBatchMs;

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

void Record(benchmark::State& state, const char* name, Clock::time_point start)
{
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    gBatchMs[name].push_back(ms);
    state.SetIterationTime(ms / 1000.0);
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
    CK_OBJECT_HANDLE object;
    CK_ULONG found = 0;
    f->C_FindObjectsInit(session, search, 2);
    while (f->C_FindObjects(session, &object, 1, &found) == CKR_OK && found) key = object;
    f->C_FindObjectsFinal(session);
    return key;
}

bool SignOnce(CK_FUNCTION_LIST* f, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE key, const Bytes& data)
{
    CK_MECHANISM mechanism{CKM_RSA_PKCS, nullptr, 0};
    CK_ULONG size = 0;
    if (f->C_SignInit(session, &mechanism, key) != CKR_OK) return false;
    if (f->C_Sign(session, const_cast<CK_BYTE*>(data.data()), data.size(), nullptr, &size) != CKR_OK) return false;
    Bytes signature(size);
    return f->C_Sign(session, const_cast<CK_BYTE*>(data.data()), data.size(), signature.data(), &size) == CKR_OK;
}

void BM_Provider(benchmark::State& state)
{
    SigningProviderPKCS11 provider(gModule);
    provider.Initialize();
    const std::string certificate =
        Base64Encode(test::LoadCertificateDer(test::SigningIdentity("rsa").certificatePem), Base64Format::Base64Header);
    if (provider.FindCertificate(certificate) != SigningResult::Success) {
        state.SkipWithError("certificate not found on the token");
        return;
    }
    for (auto _ : state) {
        const auto start = Clock::now();
        provider.BeginSigning(kBatch);
        for (int i = 0; i < kBatch; ++i) {
            const Bytes hash = Hash(i);
            std::string signature;
            if (provider.SignHash(kSha256, hash.data(), 32, signature) != SigningResult::Success) {
                state.SkipWithError("SignHash failed");
                break;
            }
        }
        provider.EndSigning();
        Record(state, "provider", start);
    }
    provider.Finalize();
}

void BM_BareSameCalls(benchmark::State& state)
{
    CK_FUNCTION_LIST* f = Functions();
    const CK_SLOT_ID slot = TokenSlot(f);
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            CK_TOKEN_INFO token;
            f->C_GetTokenInfo(slot, &token);
            CK_SESSION_HANDLE session;
            f->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session);
            CK_SESSION_INFO info;
            f->C_GetSessionInfo(session, &info);
            f->C_Login(session, CKU_USER, (CK_UTF8CHAR_PTR) "1234", 4);
            const CK_OBJECT_HANDLE key = FindKey(f, session);
            CK_BBOOL always = CK_FALSE;
            CK_ATTRIBUTE attribute{CKA_ALWAYS_AUTHENTICATE, &always, sizeof always};
            f->C_GetAttributeValue(session, key, &attribute, 1);
            const bool ok = SignOnce(f, session, key, Sha256Data(Hash(i)));
            f->C_Logout(session);
            f->C_CloseSession(session);
            if (!ok) {
                state.SkipWithError("C_Sign failed");
                break;
            }
        }
        Record(state, "bare", start);
    }
}

void BM_OneSession(benchmark::State& state)
{
    CK_FUNCTION_LIST* f = Functions();
    const CK_SLOT_ID slot = TokenSlot(f);
    for (auto _ : state) {
        const auto start = Clock::now();
        CK_SESSION_HANDLE session;
        f->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session);
        f->C_Login(session, CKU_USER, (CK_UTF8CHAR_PTR) "1234", 4);
        const CK_OBJECT_HANDLE key = FindKey(f, session);
        for (int i = 0; i < kBatch; ++i) {
            if (!SignOnce(f, session, key, Sha256Data(Hash(i)))) {
                state.SkipWithError("C_Sign failed");
                break;
            }
        }
        f->C_Logout(session);
        f->C_CloseSession(session);
        Record(state, "floor", start);
    }
}

// The provider first: it loads and finalizes the module itself, before the
// bare loops keep it initialized.
BENCHMARK(BM_Provider)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BareSameCalls)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OneSession)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

double MedianPerSignature(const std::string& name)
{
    std::vector<double> values = gBatchMs[name];
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2] / kBatch;
}

void PrintSummary()
{
    const double provider = MedianPerSignature("provider");
    const double bare = MedianPerSignature("bare");
    const double floor = MedianPerSignature("floor");
    std::printf("\n100 RSA-2048 SHA-256 signatures on SoftHSM, median batch per signature\n");
    std::printf("  SigningProviderPKCS11:            %7.3f ms\n", provider);
    std::printf("  bare loop, same calls per hash:   %7.3f ms\n", bare);
    std::printf("  one session, C_Sign per hash:     %7.3f ms\n", floor);
    if (bare > 0 && floor > 0) {
        std::printf("  provider / bare:  %.2fx (the provider's own work: event entries, key search entries)\n",
                    provider / bare);
        std::printf("  provider / floor: %.2fx (a session and a login per hash)\n", provider / floor);
    }
}

}  // namespace
}  // namespace nerolin::bench

int main(int argc, char** argv)
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
    // Entries go to a store of the run's own, as the program's would go to
    // the user's: their cost is part of the provider's.
    SetSyslogCopies(false);
    RegisterEventSource(folder + "/eventlog.sqlite");
    SetUserPrompts(std::make_shared<bench::AlwaysPin>());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench::PrintSummary();
    std::system(("rm -rf " + folder).c_str());
    return 0;
}
