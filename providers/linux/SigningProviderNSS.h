#pragma once

// The provider over the user's NSS database: its software token and every
// PKCS#11 module registered in it. Always present: the composite finds and
// selects certificates through it, and it signs whenever the composite does
// not switch to an alternative provider.

#include <memory>
#include <string>
#include <utility>

#include "providers/linux/NssOwners.h"
#include "providers/linux/NssPinCallback.h"
#include "providers/linux/NssSigningKey.h"
#include "providers/SigningProviderStore.h"

namespace nerolin {

class SigningProviderNSS : public SigningProviderStore {
public:
    SigningProviderNSS() = default;
    ~SigningProviderNSS() override;

    // Nothing to load: the database is opened on first use.
    void Initialize() override {}
    void Finalize() override;
    SigningResult FindCertificate(const std::string& certificate) override;
    SigningResult SelectCertificate(bool checkValidity, const CertificateFilter& filter,
                                    std::string& certificate) override;
    // Opens the key, asking for a PIN where its token wants one. BeginSigning
    // has no result: a failure is kept and answered by every SignHash.
    void BeginSigning(std::uint32_t hashCount) override;
    void EndSigning() override;
    SigningResult SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                           std::string& signedHash) override;
    SigningResult SignHashes(const std::string& hashAlgorithm, std::vector<HashEntry>& entries) override;

    // The common name of the NSS module holding the certificate's key; empty
    // without a certificate.
    std::string GetProviderName() override;
    // The description of the slot holding the key (the card reader of a
    // smart card); empty without a certificate.
    std::string GetSmartCardReader() override;
    // The library of that module and its token's manufacturer and model
    // (AlternativeProviderChoice.h); empty without a certificate.
    std::string GetModuleLibrary() override;
    std::pair<std::string, std::string> GetTokenMaker() override;
    // The certificate as Base64 with header and footer lines; empty without one.
    std::string GetCertificateText() const override;
    const char* LogName() const override { return "NSS"; }

private:
    void Remember(CertificatePtr certificate);
    void DetectKeyType();
    SlotPtr KeySlot();

    PinContext pins_;  // outlives the keys that NSS handed it to
    CertificatePtr certificate_;
    std::unique_ptr<SigningKey> key_;
    SigningResult keyFailure_ = SigningResult::Failed;
};

}  // namespace nerolin
