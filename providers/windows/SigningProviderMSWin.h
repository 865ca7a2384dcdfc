#pragma once

// The provider over the current user's certificate store "MY" and the key
// Windows keeps with each certificate, in a CryptoAPI provider (CSP) or a
// CNG key storage provider (KSP). The composite owns it as the system's
// store provider: certificates are found and selected here, and it signs
// whenever no alternative provider does. The signing with a key handle is
// a signer's (SignerMSWin.h).

#include <memory>
#include <string>

#include "providers/SigningProviderStore.h"
#include "providers/windows/SignerMSWin.h"
#include "providers/windows/StoreOwners.h"

namespace nerolin {

class SigningProviderMSWin : public SigningProviderStore {
public:
    SigningProviderMSWin() = default;
    ~SigningProviderMSWin() override;

    void Initialize() override {}
    void Finalize() override;
    SigningResult FindCertificate(const std::string& certificate) override;
    // The certificates of "MY" that pass the filter, offered in the
    // program's own choice of certificates.
    SigningResult SelectCertificate(bool checkValidity, const CertificateFilter& filter,
                                    std::string& certificate) override;
    // Acquires the certificate's key; a failure is reported and leaves no
    // signer, so every SignHash answers Failed.
    void BeginSigning(std::uint32_t hashCount) override;
    void EndSigning() override;
    SigningResult SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                           std::string& signedHash) override;
    SigningResult SignHashes(const std::string& hashAlgorithm, std::vector<HashEntry>& entries) override;

    // The CSP or KSP name of the certificate's key property.
    std::string GetProviderName() override;
    // The reader of the key's smart card, in the thread's ANSI code page.
    std::string GetSmartCardReader() override;
    std::string GetCertificateText() const override;
    const char* LogName() const override { return "MSWin"; }

private:
    void Remember(CertificateContextPtr certificate);

    StorePtr store_;
    CertificateContextPtr certificate_;
    std::unique_ptr<SignerMSWin> signer_;
};

}  // namespace nerolin
