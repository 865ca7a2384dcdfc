// Signing a session's batch of 100 SHA-256 hashes with Windows' own key
// providers, side by side in one run (under Wine, or on Windows):
//   - CNG: SignerMSWinNCrypt, the store provider's signer for CNG keys,
//     against a bare loop of the same calls (NCryptSignHash for the size,
//     then into the buffer) on the same key. Goal: at most 1.10 times the
//     bare loop. The store provider reaches such a key only where
//     CryptAcquireCertificatePrivateKey hands out CNG keys (not under Wine
//     8), so the key comes from NCryptImportKey here.
//   - CryptoAPI, for the record (no goal): the store provider's whole
//     signing step (BeginSigning on a certificate of "MY" imported from a
//     PKCS#12 file, 100 SignHash, EndSigning) against the least a program
//     must do: open the container in the RSA and AES provider once, then
//     per hash CryptCreateHash, CryptSetHashParam, CryptSignHash twice,
//     CryptDestroyHash. The difference is what Wine's legacy key handle
//     costs: the provider acquires it, is refused SHA-256, and reopens.
// Figures are wall-clock seconds per batch; the two sides alternate within
// each round, so that a busy machine slows both.
//
// Run: ./run test-windows (which builds it and makes the Wine prefix), then
//   scripts/wine-run build-windows/bench/bench_store.exe

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "bench/support/GoalLine.h"
#include "bench/support/SideBySide.h"
#include "common/Text.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "providers/windows/SigningProviderMSWin.h"
#include "tests/providers/mswin/StoreFixture.h"
#include "tests/support/ScriptedPrompts.h"

namespace nerolin::bench {
namespace {

constexpr int kBatch = 100;
constexpr int kSamplesPerRound = 5;
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";
constexpr char kIdentity[] = "rsa";

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

Bytes Hash(int i) { return test::TestHash(32, static_cast<std::uint8_t>(i * 31)); }

std::optional<double> SignerBatch(SignerMSWin& signer)
{
    const double start = Now();
    for (int i = 0; i < kBatch; ++i) {
        const Bytes hash = Hash(i);
        std::string signedHash;
        if (signer.Sign(kSha256, hash.data(), 32, signedHash) != SigningResult::Success) return std::nullopt;
    }
    return Now() - start;
}

std::optional<double> BareCngBatch(NCRYPT_KEY_HANDLE key)
{
    BCRYPT_PKCS1_PADDING_INFO padding{BCRYPT_SHA256_ALGORITHM};
    const double start = Now();
    for (int i = 0; i < kBatch; ++i) {
        Bytes hash = Hash(i);
        DWORD size = 0;
        if (NCryptSignHash(key, &padding, hash.data(), 32, nullptr, 0, &size, BCRYPT_PAD_PKCS1) != ERROR_SUCCESS)
            return std::nullopt;
        Bytes signature(size);
        if (NCryptSignHash(key, &padding, hash.data(), 32, signature.data(), size, &size, BCRYPT_PAD_PKCS1) !=
            ERROR_SUCCESS)
            return std::nullopt;
    }
    return Now() - start;
}

std::optional<double> ProviderBatch(SigningProviderMSWin& provider)
{
    const double start = Now();
    provider.BeginSigning(kBatch);
    for (int i = 0; i < kBatch; ++i) {
        const Bytes hash = Hash(i);
        std::string signedHash;
        if (provider.SignHash(kSha256, hash.data(), 32, signedHash) != SigningResult::Success) return std::nullopt;
    }
    provider.EndSigning();
    return Now() - start;
}

std::optional<double> BareCryptBatch(const std::wstring& container)
{
    const double start = Now();
    HCRYPTPROV opened = 0;
    if (!CryptAcquireContextW(&opened, container.c_str(), nullptr, PROV_RSA_AES, CRYPT_SILENT)) return std::nullopt;
    CryptProviderHandle owner(opened);
    const HCRYPTPROV provider = owner.get();
    for (int i = 0; i < kBatch; ++i) {
        const Bytes hash = Hash(i);
        HCRYPTHASH made = 0;
        if (!CryptCreateHash(provider, CALG_SHA_256, 0, 0, &made)) return std::nullopt;
        CryptHashHandle hashObject(made);
        DWORD size = 0;
        if (!CryptSetHashParam(hashObject.get(), HP_HASHVAL, hash.data(), 0) ||
            !CryptSignHashW(hashObject.get(), AT_KEYEXCHANGE, nullptr, 0, nullptr, &size))
            return std::nullopt;
        Bytes signature(size);
        if (!CryptSignHashW(hashObject.get(), AT_KEYEXCHANGE, nullptr, 0, signature.data(), &size)) return std::nullopt;
    }
    return Now() - start;
}

// The container of the imported certificate's key.
std::wstring ImportedContainer(const std::string& certificate)
{
    const Bytes der = Base64Decode(certificate, Base64Format::Base64Header);
    StorePtr my(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"MY"));
    CertificateContextPtr wanted(
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
    if (!my || !wanted) return {};
    CertificateContextPtr found(
        CertFindCertificateInStore(my.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted.get(), nullptr));
    DWORD size = 0;
    if (!found || !CertGetCertificateContextProperty(found.get(), CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size))
        return {};
    Bytes data(size);
    if (!CertGetCertificateContextProperty(found.get(), CERT_KEY_PROV_INFO_PROP_ID, data.data(), &size)) return {};
    const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(data.data());
    return info->pwszContainerName ? info->pwszContainerName : L"";
}

void Report(const char* title, const std::optional<SideBySideFigures>& figures)
{
    std::printf("%s\n  subject:   %s\n  bare loop: %s\n  ratio %.2f (%s)\n", title,
                FormatSpread(figures->subject).c_str(), FormatSpread(figures->reference).c_str(), figures->ratio,
                figures->agreed.Note().c_str());
}

void ReportGoal(const char* title, const char* goal, const std::optional<SideBySideFigures>& figures)
{
    Report(title, figures);
    PrintGoalLine({goal, FormatSpread(figures->subject) + " vs " + FormatSpread(figures->reference), figures->ratio,
                   figures->ratio <= 1.10, figures->agreed.Note() + ", wall clock, Wine"});
}

bool Run()
{
    NCryptKeyHandle key = test::ImportCngKey(kIdentity);
    if (!key) {
        std::fprintf(stderr, "bench_store: NCryptImportKey failed\n");
        return false;
    }
    const NCRYPT_KEY_HANDLE bareKey = key.get();
    NCryptKeyHandle second = test::ImportCngKey(kIdentity);
    SignerMSWinNCrypt signer(std::move(second), KeyType::RSA);
    const auto cng =
        MeasureSideBySide([&] { return SignerBatch(signer); }, [&] { return BareCngBatch(bareKey); }, kSamplesPerRound);

    if (!test::ImportIntoMy(test::MakePfx(kIdentity, true))) {
        std::fprintf(stderr, "bench_store: the PKCS#12 import into MY failed\n");
        return false;
    }
    const std::string certificate = test::CertificateText(kIdentity);
    SigningProviderMSWin provider;
    const std::wstring container = ImportedContainer(certificate);
    if (provider.FindCertificate(certificate) != SigningResult::Success || container.empty()) {
        std::fprintf(stderr, "bench_store: the imported certificate or its container is not there\n");
        return false;
    }
    const auto crypt = MeasureSideBySide([&] { return ProviderBatch(provider); },
                                         [&] { return BareCryptBatch(container); }, kSamplesPerRound);
    provider.Finalize();
    if (!cng || !crypt) {
        std::fprintf(stderr, "bench_store: signing failed\n");
        return false;
    }
    ReportGoal("100 RSA-2048 SHA-256 signatures, CNG software key",
               "CNG signer, 100-hash batch: <= 1.10 x bare NCryptSignHash loop", cng);
    Report("100 RSA-2048 SHA-256 signatures, CryptoAPI key of a certificate in MY (no goal)", crypt);
    return true;
}

}  // namespace
}  // namespace nerolin::bench

int main()
{
    using namespace nerolin;
    // Entries go to a store of the run's own, as the program's go to the
    // user's: their cost is part of the provider's.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "nerolin-bench-store";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    RegisterEventSource((folder / "eventlog.sqlite").generic_string());
    SetUserPrompts(std::make_shared<test::ScriptedPrompts>());
    return bench::Run() ? 0 : 1;
}
