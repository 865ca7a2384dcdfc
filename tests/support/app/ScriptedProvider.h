#pragma once

// A signing provider whose answers a test chooses, signing for real with a
// development key so that the reference service can verify its signatures.
// Every call is recorded in order.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "providers/SigningProvider.h"

namespace nerolin::test {

struct ProviderScript {
    std::string identity = "rsa";  // the development signing identity used
    SigningResult findResult = SigningResult::Success;
    SigningResult selectResult = SigningResult::Success;
    SigningResult batchResult = SigningResult::Unsupported;  // Success signs the batch
    // Result of the one-by-one signature with this zero-based index; Success signs.
    std::function<SigningResult(int index)> hashResult = [](int) { return SigningResult::Success; };
};

class ScriptedProvider : public SigningProvider {
public:
    // calls outlives the provider: the worker destroys the provider itself.
    ScriptedProvider(ProviderScript script, std::shared_ptr<std::vector<std::string>> calls);

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

    // The certificate of an identity as the service expects it: PEM text.
    static std::string CertificateText(const std::string& identity);

private:
    void Record(std::string call);
    bool SignWithKey(const std::string& hashAlgorithm, const std::uint8_t* hash, std::size_t length,
                     std::string& signedHash);

    ProviderScript script_;
    std::shared_ptr<std::vector<std::string>> calls_;
    std::mutex mutex_;
    int signIndex_ = 0;
};

}  // namespace nerolin::test
