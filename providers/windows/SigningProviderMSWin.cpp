#include "providers/windows/SigningProviderMSWin.h"

#include <system_error>
#include <vector>

#include "common/Text.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "filter/CertificateMatching.h"
#include "platform/AnsiCodePage.h"
#include "platform/windows/SystemErrorText.h"
#include "platform/windows/WideText.h"

namespace nerolin {
namespace {

void Report(const char* name, DWORD code) { ReportSystemError(name, code, false, SystemErrorText(code)); }

// The current user's "MY", read-only and never created: a user without one
// has no certificate to sign with.
StorePtr OpenMyStore()
{
    return StorePtr(CertOpenStore(
        CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING, 0,
        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG, L"MY"));
}

Bytes Der(const CERT_CONTEXT* certificate)
{
    if (!certificate || !certificate->pbCertEncoded) return {};
    return Bytes(certificate->pbCertEncoded, certificate->pbCertEncoded + certificate->cbCertEncoded);
}

// A certificate property read with its two calls (size, then data); empty
// when the certificate has none.
std::vector<BYTE> Property(const CERT_CONTEXT* certificate, DWORD id)
{
    DWORD size = 0;
    if (!certificate || !CertGetCertificateContextProperty(certificate, id, nullptr, &size) || size == 0) return {};
    std::vector<BYTE> data(size);
    if (!CertGetCertificateContextProperty(certificate, id, data.data(), &size)) return {};
    data.resize(std::min<std::size_t>(size, data.size()));
    return data;
}

std::string ReaderOfCngKey(NCRYPT_KEY_HANDLE key)
{
    DWORD size = 0;
    if (NCryptGetProperty(key, NCRYPT_READER_PROPERTY, nullptr, 0, &size, 0) != ERROR_SUCCESS || size == 0 ||
        size > 65536)
        return {};
    std::vector<BYTE> data(size + sizeof(wchar_t), 0);
    if (NCryptGetProperty(key, NCRYPT_READER_PROPERTY, data.data(), size, &size, 0) != ERROR_SUCCESS) return {};
    std::string ansi;
    try {
        WideToAnsi(reinterpret_cast<const char16_t*>(data.data()), ansi);
    } catch (const std::system_error&) {
        return {};
    }
    return ansi;
}

std::string ReaderOfCryptProvider(HCRYPTPROV provider)
{
    DWORD size = 0;
    if (!CryptGetProvParam(provider, PP_SMARTCARD_READER, nullptr, &size, 0) || size == 0 || size > 65536) return {};
    std::vector<char> data(size + 1, '\0');
    if (!CryptGetProvParam(provider, PP_SMARTCARD_READER, reinterpret_cast<BYTE*>(data.data()), &size, 0)) return {};
    return std::string(data.data());  // already in the ANSI code page
}

}  // namespace

SigningProviderMSWin::~SigningProviderMSWin() { signer_.reset(); }

void SigningProviderMSWin::Finalize()
{
    signer_.reset();
    certificate_.reset();
    store_.reset();
}

void SigningProviderMSWin::Remember(CertificateContextPtr certificate)
{
    signer_.reset();
    certificate_ = std::move(certificate);
    keyType_ = DetectKeyType(Der(certificate_.get()));
}

SigningResult SigningProviderMSWin::FindCertificate(const std::string& certificate)
{
    store_ = OpenMyStore();
    if (!store_) {
        Report("CertOpenStore", GetLastError());
        return SigningResult::Failed;
    }
    const Bytes der = Base64Decode(certificate, Base64Format::Base64Header);
    if (der.empty()) return SigningResult::Failed;
    CertificateContextPtr wanted(
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
    if (!wanted) return SigningResult::Failed;
    CertificateContextPtr found(
        CertFindCertificateInStore(store_.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted.get(), nullptr));
    if (!found) return SigningResult::Failed;
    Remember(std::move(found));
    return SigningResult::Success;
}

SigningResult SigningProviderMSWin::SelectCertificate(bool checkValidity, const CertificateFilter& filter,
                                                      std::string& certificate)
{
    std::vector<CertificateContextPtr> offered;
    std::vector<Bytes> ders;
    std::optional<std::size_t> choice;
    do {
        // A new list on every round: the user may have inserted the card
        // while the empty choice told them to.
        offered.clear();
        ders.clear();
        store_.reset(CertOpenStore(CERT_STORE_PROV_MEMORY, X509_ASN_ENCODING, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
        if (!store_) {
            Report("CertOpenStore", GetLastError());
            return SigningResult::Failed;
        }
        // Without a "MY" store the choice is empty; that is no error.
        const StorePtr my = OpenMyStore();
        bool anyFound = false;
        for (const CERT_CONTEXT* candidate = my ? CertEnumCertificatesInStore(my.get(), nullptr) : nullptr; candidate;
             candidate = CertEnumCertificatesInStore(my.get(), candidate)) {
            anyFound = true;
            Bytes der = Der(candidate);
            if (!PassesFilter(checkValidity, filter, der.data(), der.size())) continue;
            const CERT_CONTEXT* added = nullptr;
            if (!CertAddCertificateContextToStore(store_.get(), candidate, CERT_STORE_ADD_ALWAYS, &added)) {
                CertFreeCertificateContext(candidate);
                return SigningResult::Failed;
            }
            offered.emplace_back(added);
            ders.push_back(std::move(der));
        }
        if (ders.empty()) ReportNothingToChoose(checkValidity, filter);
        choice = Prompts().ChooseCertificate(ders, anyFound);
    } while (choice == kListCertificatesAgain);
    if (!choice) return SigningResult::Canceled;
    if (*choice >= offered.size()) return SigningResult::Failed;
    certificate = Base64Encode(ders[*choice], Base64Format::Base64Header);
    Remember(std::move(offered[*choice]));
    return SigningResult::Success;
}

void SigningProviderMSWin::BeginSigning(std::uint32_t)
{
    if (!certificate_) return;
    AcquiredKey key;
    if (!AcquireCertificateKey(certificate_.get(), CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG, key)) {
        Report("CryptAcquireCertificatePrivateKey", GetLastError());
        return;
    }
    std::unique_ptr<SignerMSWin> signer;
    if (key.IsCng())
        signer = std::make_unique<SignerMSWinNCrypt>(std::move(key.key), keyType_);
    else
        signer = std::make_unique<SignerMSWinCrypt>(std::move(key.provider), key.keySpec);
    // The new signer is stored before the old one goes.
    signer_.swap(signer);
}

void SigningProviderMSWin::EndSigning() { signer_.reset(); }

SigningResult SigningProviderMSWin::SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash,
                                             std::int32_t length, std::string& signedHash)
{
    WriteEventEntry(EntryType::Information, "SignHash started with MSWin signing provider");
    if (!signer_) return SigningResult::Failed;
    return signer_->Sign(hashAlgorithm, hash, length, signedHash);
}

SigningResult SigningProviderMSWin::SignHashes(const std::string&, std::vector<HashEntry>&)
{
    WriteEventEntry(EntryType::Information, "SignHashes started with MSWin signing provider");
    return SigningResult::Unsupported;
}

std::string SigningProviderMSWin::GetProviderName()
{
    const std::vector<BYTE> data = Property(certificate_.get(), CERT_KEY_PROV_INFO_PROP_ID);
    if (data.size() < sizeof(CRYPT_KEY_PROV_INFO)) return {};
    const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(data.data());
    if (!info->pwszProvName) return {};
    try {
        return Utf8Text(info->pwszProvName);
    } catch (const std::range_error&) {
        return {};
    }
}

std::string SigningProviderMSWin::GetSmartCardReader()
{
    if (!certificate_) return {};
    AcquiredKey key;
    if (!AcquireCertificateKey(
            certificate_.get(),
            CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG | CRYPT_ACQUIRE_SILENT_FLAG | CRYPT_ACQUIRE_USE_PROV_INFO_FLAG, key)) {
        Report("CryptAcquireCertificatePrivateKey", GetLastError());
        return {};
    }
    // Each kind of handle is asked only its own question: NCryptGetProperty
    // on a CryptoAPI handle does not fail cleanly everywhere (Wine crashes).
    return key.IsCng() ? ReaderOfCngKey(key.key.get()) : ReaderOfCryptProvider(key.provider.get());
}

std::string SigningProviderMSWin::GetCertificateText() const
{
    const Bytes der = Der(certificate_.get());
    return der.empty() ? std::string() : Base64Encode(der, Base64Format::Base64Header);
}

}  // namespace nerolin
