#pragma once

// Signs through a PKCS#11 module of a card's maker, loaded at run time. The
// certificates of all present tokens are gathered into an in-memory list
// for one FindCertificate or SelectCertificate; the found certificate's slot
// and the CKA_ID of its certificate object lead to the key. Each SignHash
// opens a session of its own, logs in with the user PIN asked once per
// signing session, finds the private key (by CKA_ID, else by public key),
// builds the PKCS#1 v1.5 DigestInfo itself for RSA and lets the module sign.

#include <memory>
#include <optional>
#include <string>

#include "common/SecretString.h"
#include "common/Text.h"
#include "providers/SigningProviderAlternative.h"

namespace nerolin {

// Kept out of this header: the PKCS#11 declarations of p11-kit and those of
// NSS cannot meet in one file, and the composite sees both providers.
class Pkcs11Module;
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
    // slot: a CK_SLOT_ID, the platform's unsigned long.
    SigningResult Remember(const Bytes& der, unsigned long slot, const Bytes& id);
    // The key to sign with in an open session, with the fallback to the
    // public-key match; nullopt after writing why.
    std::optional<unsigned long> SigningKey(const Pkcs11Session& session);
    // Asks the context-specific PIN of a CKA_ALWAYS_AUTHENTICATE key.
    bool AskContextPin(const Pkcs11Session& session, unsigned long key);

    std::string moduleName_;
    std::unique_ptr<Pkcs11Module> module_;
    unsigned long slot_ = 0;
    std::string certificateText_;
    Bytes keyId_;
    std::optional<SecretString> userPin_;
    std::optional<SecretString> contextPin_;
};

}  // namespace nerolin
