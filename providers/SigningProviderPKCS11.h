#pragma once

// Signs through a PKCS#11 module of a card's maker, loaded by dlopen. The
// certificates of all present tokens are gathered into an in-memory list
// for one FindCertificate or SelectCertificate; the found certificate's slot
// and the CKA_ID of its certificate object lead to the key. Each SignHash
// opens a session of its own, logs in with the user PIN asked once per
// signing session, finds the private key (by CKA_ID, else by public key),
// builds the PKCS#1 v1.5 DigestInfo itself for RSA and lets the module sign.

#include <optional>
#include <string>

#include "common/SecretString.h"
#include "common/Text.h"
#include "providers/Pkcs11Module.h"
#include "providers/SigningProviderAlternative.h"

namespace nerolin {

class Pkcs11Session;

class SigningProviderPKCS11 : public SigningProviderAlternative {
public:
    // module: a file name for the library search ("libbit4ipki.so") or a
    // path. Nothing is loaded yet.
    explicit SigningProviderPKCS11(std::string module);
    ~SigningProviderPKCS11() override;

    void Initialize() override;
    void Finalize() override;
    SigningResult FindCertificate(const std::string& certificate) override;
    SigningResult SelectCertificate(bool checkValidity, const CertificateFilter& filter,
                                    std::string& certificate) override;
    void BeginSigning(std::uint32_t hashCount) override;
    void EndSigning() override;
    SigningResult SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                           std::string& signedHash) override;
    SigningResult SignHashes(const std::string& hashAlgorithm, std::vector<HashEntry>& entries) override;

    const std::string& moduleName() const { return moduleName_; }

private:
    SigningResult Remember(const Bytes& der, CK_SLOT_ID slot, const Bytes& id);
    // The key to sign with in an open session, with the fallback to the
    // public-key match; nullopt after writing why.
    std::optional<CK_OBJECT_HANDLE> SigningKey(Pkcs11Session& session);
    // Asks the context-specific PIN of a CKA_ALWAYS_AUTHENTICATE key.
    bool AskContextPin(Pkcs11Session& session, CK_OBJECT_HANDLE key);

    std::string moduleName_;
    Pkcs11Module module_;
    CK_SLOT_ID slot_ = 0;
    std::string certificateText_;
    Bytes keyId_;
    std::optional<SecretString> userPin_;
    std::optional<SecretString> contextPin_;
};

}  // namespace nerolin
