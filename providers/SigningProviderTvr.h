#pragma once

// The only provider the signing worker sees. It always owns the system's
// store provider (SigningProviderStore), through which certificates are
// found and selected, and for a batch of more than one hash it may add an
// alternative provider for the signing itself, kept only if that finds the
// very same certificate.

#include <functional>
#include <memory>
#include <string>

#include "providers/SigningProviderStore.h"

namespace nerolin {

class SigningProviderTvr : public SigningProvider {
public:
    using AlternativeChooser =
        std::function<std::unique_ptr<SigningProvider>(const std::string& providerName, SigningProviderStore&)>;

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

    SigningProviderStore& storeProvider() { return *store_; }
    bool HasAlternative() const { return alternative_ != nullptr; }

private:
    SigningProvider& Chosen();

    AlternativeChooser chooser_;
    std::unique_ptr<SigningProviderStore> store_;
    std::unique_ptr<SigningProvider> alternative_;
};

}  // namespace nerolin
