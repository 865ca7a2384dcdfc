#include "providers/SigningProviderTvr.h"

#include "eventlog/EventLog.h"
#include "providers/AlternativeProviderChoice.h"

namespace nerolin {

SigningProviderTvr::SigningProviderTvr() : SigningProviderTvr(ChooseAlternativeProvider) {}

SigningProviderTvr::SigningProviderTvr(AlternativeChooser chooser)
    : chooser_(std::move(chooser)),
      store_(MakeStoreProvider())
{
}

SigningProviderTvr::~SigningProviderTvr()
{
    alternative_.reset();
    store_.reset();
}

void SigningProviderTvr::Initialize() { store_->Initialize(); }

void SigningProviderTvr::Finalize() { store_->Finalize(); }

SigningResult SigningProviderTvr::FindCertificate(const std::string& certificate)
{
    const SigningResult result = store_->FindCertificate(certificate);
    keyType_ = store_->GetKeyType();
    return result;
}

SigningResult SigningProviderTvr::SelectCertificate(bool checkValidity, const CertificateFilter& filter,
                                                    std::string& certificate)
{
    const SigningResult result = store_->SelectCertificate(checkValidity, filter, certificate);
    keyType_ = store_->GetKeyType();
    return result;
}

void SigningProviderTvr::BeginSigning(std::uint32_t hashCount)
{
    WriteEventEntry(EntryType::Information, "Number of unsigned hashes: " + std::to_string(hashCount));
    const std::string providerName = store_->GetProviderName();
    WriteEventEntry(EntryType::Information, "Provider name: " + providerName);

    if (hashCount > 1) {
        if (auto chosen = chooser_ ? chooser_(providerName, *store_) : nullptr) alternative_ = std::move(chosen);
    }
    if (alternative_) {
        alternative_->Initialize();
        if (alternative_->FindCertificate(store_->GetCertificateText()) == SigningResult::Success) {
            WriteEventEntry(
                EntryType::Information,
                std::string("Certificate found with the alternative signing provider; using Non") + store_->LogName());
        } else {
            alternative_->Finalize();
            alternative_.reset();
            WriteEventEntry(
                EntryType::Warning,
                std::string("Certificate not found with the alternative signing provider; using ") + store_->LogName());
        }
    }
    Chosen().BeginSigning(hashCount);
}

void SigningProviderTvr::EndSigning()
{
    if (alternative_) {
        alternative_->EndSigning();
        alternative_->Finalize();
    } else {
        store_->EndSigning();
    }
}

SigningResult SigningProviderTvr::SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash,
                                           std::int32_t length, std::string& signedHash)
{
    const SigningResult result = Chosen().SignHash(hashAlgorithm, hash, length, signedHash);
    WriteSigningResultEntry("SignHash", result);
    return result;
}

SigningResult SigningProviderTvr::SignHashes(const std::string& hashAlgorithm, std::vector<HashEntry>& entries)
{
    const SigningResult result = Chosen().SignHashes(hashAlgorithm, entries);
    WriteSigningResultEntry("SignHashes", result);
    return result;
}

SigningProvider& SigningProviderTvr::Chosen()
{
    return alternative_ ? *alternative_ : static_cast<SigningProvider&>(*store_);
}

}  // namespace nerolin
