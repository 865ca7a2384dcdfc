// Signing a session's batch of 100 SHA-256 hashes with the RSA-2048 key of a
// password-protected NSS database, through the composite provider as the
// signing worker does, side by side with a bare loop that does what the
// provider must: find the key, copy it into a session key (NSS would
// otherwise decrypt the stored key anew for every signature) and sign the
// 100 hashes with PK11_SignWithMechanism. The verdict is the whole batch,
// copy included, in the calling thread's processor time (NSS's software
// token signs on the calling thread). Goal: at most 1.05 times the bare loop.
//
// Beside it, for the record and without a goal: the same on a SoftHSM token
// reached through NSS, where the key is used where it is.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pk11pub.h>

#include "bench/support/GoalLine.h"
#include "bench/support/SideBySide.h"
#include "bench/support/ThreadCpu.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "providers/HashAlgorithm.h"
#include "providers/linux/NssOwners.h"
#include "providers/linux/NssRuntime.h"
#include "providers/SigningProviderTvr.h"
#include "tests/support/NssDatabase.h"
#include "tests/support/ScriptedPrompts.h"

namespace nerolin::bench {
namespace {

constexpr int kBatch = 100;
constexpr int kSamplesPerRound = 7;
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";
constexpr char kPassword[] = "bench-password";
constexpr char kSoftwareCertificate[] = "rsa-no-keyusage";  // software token only
constexpr char kCardCertificate[] = "rsa";                  // SoftHSM token only

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

std::string CertificateText(const char* name)
{
    return Base64Encode(test::LoadCertificateDer(test::SigningIdentity(name).certificateDer),
                        Base64Format::Base64Header);
}

// BeginSigning (key lookup and, on the software token, the copy), the 100
// signatures and EndSigning; the certificate is found beforehand, as the
// session does before it asks for the hashes.
std::optional<double> CompositeBatch(const char* certificate)
{
    static const std::vector<std::string> hashes = Hashes();
    SigningProviderTvr provider;
    if (provider.FindCertificate(CertificateText(certificate)) != SigningResult::Success) return std::nullopt;
    const double start = ThreadCpuSeconds();
    provider.BeginSigning(kBatch);
    for (const auto& hash : hashes) {
        std::string signedHash;
        if (provider.SignUnsignedHash(kSha256, hash, signedHash) != SigningResult::Success) return std::nullopt;
    }
    provider.EndSigning();
    return ThreadCpuSeconds() - start;
}

// The same work without the provider: key lookup, session copy (software
// token only), 100 signatures of the DigestInfo.
std::optional<double> BareBatch(const char* certificate, bool onCard)
{
    const Bytes der = test::LoadCertificateDer(test::SigningIdentity(certificate).certificateDer);
    SECItem item{siBuffer, const_cast<unsigned char*>(der.data()), static_cast<unsigned>(der.size())};
    CertificatePtr cert(CERT_FindCertByDERCert(CERT_GetDefaultCertDB(), &item));
    SlotPtr slot(onCard ? PK11_FindSlotByName(test::NssDatabase::kTokenLabel) : PK11_GetInternalKeySlot());
    if (!cert || !slot) return std::nullopt;
    const HashAlgorithm* sha256 = FindHashAlgorithm(kSha256);
    Bytes input(sha256->digestInfoPrefix.begin(), sha256->digestInfoPrefix.end());
    input.resize(input.size() + 32, 0x5A);

    const double start = ThreadCpuSeconds();
    PrivateKeyPtr key(PK11_FindPrivateKeyFromCert(slot.get(), cert.get(), nullptr));
    if (key && !onCard) key.reset(PK11_CopyTokenPrivKeyToSessionPrivKey(key->pkcs11Slot, key.get()));
    if (!key) return std::nullopt;
    Bytes signature(static_cast<std::size_t>(PK11_SignatureLen(key.get())));
    for (int i = 0; i < kBatch; ++i) {
        input.back() = static_cast<std::uint8_t>(i);
        SECItem data{siBuffer, input.data(), static_cast<unsigned>(input.size())};
        SECItem result{siBuffer, signature.data(), static_cast<unsigned>(signature.size())};
        if (PK11_SignWithMechanism(key.get(), CKM_RSA_PKCS, nullptr, &result, &data) != SECSuccess) return std::nullopt;
    }
    key.reset();
    return ThreadCpuSeconds() - start;
}

std::string PerSignature(const Spread& batch)
{
    return FormatSeconds(batch.median / kBatch) + "/signature (batch " + FormatSpread(batch) + ")";
}

bool Run()
{
    const auto software = MeasureSideBySide([] { return CompositeBatch(kSoftwareCertificate); },
                                            [] { return BareBatch(kSoftwareCertificate, false); }, kSamplesPerRound);
    if (!software) {
        std::fprintf(stderr, "bench_nss: signing on the software token failed\n");
        return false;
    }
    std::printf("100 RSA-2048 SHA-256 signatures, password-protected database, thread CPU time\n");
    std::printf("  software token, composite (copy included): %s\n", PerSignature(software->subject).c_str());
    std::printf("  software token, bare find, copy and sign:  %s\n", PerSignature(software->reference).c_str());
    PrintGoalLine({"NSS software token, 100-hash batch with key copy: <= 1.05 x bare copy-and-sign loop",
                   FormatSpread(software->subject) + " vs " + FormatSpread(software->reference), software->ratio,
                   software->ratio <= 1.05, software->agreed.Note() + ", thread CPU"});

    const auto card = MeasureSideBySide([] { return CompositeBatch(kCardCertificate); },
                                        [] { return BareBatch(kCardCertificate, true); }, kSamplesPerRound);
    if (card) {
        std::printf("  SoftHSM token through NSS, composite:      %s\n", PerSignature(card->subject).c_str());
        std::printf("  SoftHSM token through NSS, bare:           %s\n", PerSignature(card->reference).c_str());
        std::printf("  composite / bare: %.2fx (%s; no goal)\n", card->ratio, card->agreed.Note().c_str());
    }
    return true;
}

}  // namespace
}  // namespace nerolin::bench

int main()
{
    using namespace nerolin;
    char pattern[] = "/tmp/nerolin-bench-nss-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string folder = pattern;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) setenv(name, pattern, 1);
    // Entries go to a store of the run's own, with their syslog copies, as
    // the program's do.
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
            if (InitializeNss(database.spec()) && bench::Run()) status = 0;
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}
