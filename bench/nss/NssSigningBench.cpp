// Signing a session's batch of 100 SHA-256 hashes with RSA-2048 keys of a
// password-protected NSS database, through the composite provider as the
// signing worker does, side by side with bare PK11_SignWithMechanism loops
// on the same keys:
//   - the software token: the provider signs with a session copy of the key
//     (copy included in the figures); the naive loop uses the stored key,
//     which NSS decrypts anew for every signature;
//   - a SoftHSM token: the key is used where it is, so the ratio is the
//     provider's own overhead.
// After Google Benchmark's table, a summary prints the median per-signature
// times (BeginSigning, which makes the copy, charged to the first signature),
// the whole batch per signature, and the ratios. Wall-clock figures: on a
// busy machine compare the CPU column of the table.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <pk11pub.h>

#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "providers/HashAlgorithm.h"
#include "providers/NssOwners.h"
#include "providers/NssRuntime.h"
#include "providers/SigningProviderTvr.h"
#include "tests/support/NssDatabase.h"
#include "tests/support/ScriptedPrompts.h"

namespace nerolin::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBatch = 100;
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";
constexpr char kPassword[] = "bench-password";
constexpr char kSoftwareCertificate[] = "rsa-no-keyusage";  // software token only
constexpr char kCardCertificate[] = "rsa";                  // SoftHSM token only

struct Figures {
    double medianMs = 0;        // median of the batch's signatures, BeginSigning charged to the first
    double perSignatureMs = 0;  // the whole batch (BeginSigning to EndSigning) / signatures
    double beginMs = 0;         // BeginSigning: key lookup and, on the software token, the copy
};
std::map<std::string, Figures> gFigures;

class AlwaysPin : public test::ScriptedPrompts {
public:
    std::optional<SecretString> AskPin(const PinRequest& request) override
    {
        return SecretString(request.target == test::NssDatabase::kTokenLabel ? test::NssDatabase::kTokenPin
                                                                             : kPassword);
    }
};

std::vector<std::string> Hashes()
{
    std::vector<std::string> hashes;
    for (int i = 0; i < kBatch; ++i) {
        Bytes hash(32);
        for (std::size_t j = 0; j < hash.size(); ++j) hash[j] = static_cast<std::uint8_t>(i * 31 + j);
        hashes.push_back(Base64Encode(hash, Base64Format::Base64));
    }
    return hashes;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::string CertificateText(const char* name)
{
    return Base64Encode(test::LoadCertificateDer(test::SigningIdentity(name).certificateDer),
                        Base64Format::Base64Header);
}

void BatchThroughComposite(benchmark::State& state, const char* certificate, const std::string& label)
{
    const auto hashes = Hashes();
    for (auto _ : state) {
        SigningProviderTvr provider;
        if (provider.FindCertificate(CertificateText(certificate)) != SigningResult::Success) {
            state.SkipWithError("certificate not found");
            return;
        }
        std::vector<double> times;
        const auto start = Clock::now();
        provider.BeginSigning(kBatch);
        const double beginMs = Ms(Clock::now() - start);
        for (const auto& hash : hashes) {
            std::string signedHash;
            const auto before = Clock::now();
            if (provider.SignUnsignedHash(kSha256, hash, signedHash) != SigningResult::Success) {
                state.SkipWithError("signing failed");
                return;
            }
            times.push_back(Ms(Clock::now() - before));
        }
        provider.EndSigning();
        const double batchMs = Ms(Clock::now() - start);
        times.front() += beginMs;
        gFigures[label] = {Median(times), batchMs / kBatch, beginMs};
    }
}

void BareLoop(benchmark::State& state, const char* certificate, bool onCard, const std::string& label)
{
    const Bytes der = test::LoadCertificateDer(test::SigningIdentity(certificate).certificateDer);
    SECItem item{siBuffer, const_cast<unsigned char*>(der.data()), static_cast<unsigned>(der.size())};
    CertificatePtr cert(CERT_FindCertByDERCert(CERT_GetDefaultCertDB(), &item));
    SlotPtr slot(onCard ? PK11_FindSlotByName(test::NssDatabase::kTokenLabel) : PK11_GetInternalKeySlot());
    PrivateKeyPtr key(cert && slot ? PK11_FindPrivateKeyFromCert(slot.get(), cert.get(), nullptr) : nullptr);
    if (!key) {
        state.SkipWithError("key not found");
        return;
    }
    const HashAlgorithm* sha256 = FindHashAlgorithm(kSha256);
    Bytes input(sha256->digestInfoPrefix.begin(), sha256->digestInfoPrefix.end());
    input.resize(input.size() + 32, 0x5A);
    Bytes signature(static_cast<std::size_t>(PK11_SignatureLen(key.get())));
    for (auto _ : state) {
        std::vector<double> times;
        const auto start = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            input.back() = static_cast<std::uint8_t>(i);
            SECItem data{siBuffer, input.data(), static_cast<unsigned>(input.size())};
            SECItem result{siBuffer, signature.data(), static_cast<unsigned>(signature.size())};
            const auto before = Clock::now();
            if (PK11_SignWithMechanism(key.get(), CKM_RSA_PKCS, nullptr, &result, &data) != SECSuccess) {
                state.SkipWithError("PK11_SignWithMechanism failed");
                return;
            }
            times.push_back(Ms(Clock::now() - before));
        }
        gFigures[label] = {Median(times), Ms(Clock::now() - start) / kBatch, 0};
    }
}

void BM_SoftwareToken_Composite(benchmark::State& s)
{
    BatchThroughComposite(s, kSoftwareCertificate, "software composite");
}
void BM_SoftwareToken_NaiveStoredKey(benchmark::State& s)
{
    BareLoop(s, kSoftwareCertificate, false, "software naive");
}
void BM_Card_Composite(benchmark::State& s) { BatchThroughComposite(s, kCardCertificate, "card composite"); }
void BM_Card_BarePk11Sign(benchmark::State& s) { BareLoop(s, kCardCertificate, true, "card bare"); }

BENCHMARK(BM_SoftwareToken_Composite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SoftwareToken_NaiveStoredKey)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Card_Composite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Card_BarePk11Sign)->Unit(benchmark::kMillisecond)->Iterations(3);

void PrintSummary()
{
    auto show = [](const char* what, const Figures& f) {
        std::printf("  %-44s median %7.3f ms/signature, batch %7.3f ms/signature, BeginSigning %6.1f ms\n", what,
                    f.medianMs, f.perSignatureMs, f.beginMs);
    };
    const Figures softwareComposite = gFigures["software composite"], softwareNaive = gFigures["software naive"];
    const Figures cardComposite = gFigures["card composite"], cardBare = gFigures["card bare"];
    std::printf("\n100 RSA-2048 SHA-256 signatures, password-protected database\n");
    show("software token, composite (session copy)", softwareComposite);
    show("software token, naive stored key", softwareNaive);
    std::printf("  naive / composite (median): %.1fx; goal median <= 2 ms/signature, copy included: %s\n",
                softwareNaive.medianMs / softwareComposite.medianMs,
                softwareComposite.medianMs <= 2.0 ? "met" : "NOT met");
    show("SoftHSM token, composite", cardComposite);
    show("SoftHSM token, bare PK11_SignWithMechanism", cardBare);
    std::printf("  composite / bare (median): %.2fx\n", cardComposite.medianMs / cardBare.medianMs);
}

}  // namespace
}  // namespace nerolin::bench

int main(int argc, char** argv)
{
    using namespace nerolin;
    char pattern[] = "/tmp/nerolin-bench-nss-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string folder = pattern;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) setenv(name, pattern, 1);
    RegisterEventSource(folder + "/events.sqlite");
    int status = 1;
    {
        test::NssDatabaseOptions options;
        options.softwareTokenIdentities = {bench::kSoftwareCertificate};
        options.hardwareTokenIdentities = {bench::kCardCertificate};
        options.password = bench::kPassword;
        test::NssDatabase database(options);
        if (!database.ok()) {
            std::fprintf(stderr, "bench_nss: %s\n", database.error().c_str());
        } else {
            database.ExportEnvironment();
            SetUserPrompts(std::make_shared<bench::AlwaysPin>());
            if (InitializeNss(database.spec())) {
                benchmark::Initialize(&argc, argv);
                benchmark::RunSpecifiedBenchmarks();
                benchmark::Shutdown();
                bench::PrintSummary();
                status = 0;
            }
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}
