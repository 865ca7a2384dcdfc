#pragma once

// The only provider the signing worker sees. It always owns an NSS provider,
// through which certificates are found and selected, and for a batch of
// more than one hash it may add an alternative provider for the signing
// itself, kept only if that finds the very same certificate.

#include <functional>
#include <memory>
#include <string>

#include "providers/SigningProvider.h"

namespace nerolin {

// Declared only: NSS's headers stay out of files that include this one (Qt's
// "slots" macro clashes with NSS's field names).
class SigningProviderNSS;

class SigningProviderTvr : public SigningProvider {
public:
    using AlternativeChooser =
        std::function<std::unique_ptr<SigningProvider>(const std::string& providerName, SigningProviderNSS&)>;

    SigningProviderTvr();
    // Tests replace the choice of the alternative provider.
    explicit SigningProviderTvr(AlternativeChooser chooser);
    ~SigningProviderTvr() override;

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

    SigningProviderNSS& nssProvider() { return *nss_; }
    bool HasAlternative() const { return alternative_ != nullptr; }

private:
    SigningProvider& Chosen();

    AlternativeChooser chooser_;
    std::unique_ptr<SigningProviderNSS> nss_;
    std::unique_ptr<SigningProvider> alternative_;
};

}  // namespace nerolin
