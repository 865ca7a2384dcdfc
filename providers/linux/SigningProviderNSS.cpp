#include "providers/linux/SigningProviderNSS.h"

#include "common/CertificateText.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "filter/CertificateMatching.h"
#include "providers/CertificateHolder.h"
#include "providers/linux/NssCertificates.h"
#include "providers/linux/NssRuntime.h"
#include "providers/linux/NssSignature.h"
#include "providers/linux/NssTokens.h"

namespace nerolin {
SigningProviderNSS::~SigningProviderNSS() { key_.reset(); }

void SigningProviderNSS::Finalize()
{
    key_.reset();
    certificate_.reset();
}

void SigningProviderNSS::Remember(CertificatePtr certificate)
{
    key_.reset();
    certificate_ = std::move(certificate);
    pins_.holder = CertificateHolder(CertificateDer(certificate_.get()));
    DetectKeyType();
}

void SigningProviderNSS::DetectKeyType() { keyType_ = nerolin::DetectKeyType(CertificateDer(certificate_.get())); }

SigningResult SigningProviderNSS::FindCertificate(const std::string& certificate)
{
    if (!InitializeNss()) return SigningResult::Failed;
    const Bytes der = Base64Decode(certificate, Base64Format::Base64Header);
    if (der.empty()) return SigningResult::Failed;

    for (CertificatePtr& candidate : ListUserCertificates()) {
        if (CertificateDer(candidate.get()) == der) {
            Remember(std::move(candidate));
            return SigningResult::Success;
        }
    }
    return SigningResult::Failed;
}

SigningResult SigningProviderNSS::SelectCertificate(bool checkValidity, const CertificateFilter& filter,
                                                    std::string& certificate)
{
    if (!InitializeNss()) return SigningResult::Failed;
    std::vector<CertificatePtr> offered;
    std::vector<Bytes> ders;
    std::optional<std::size_t> choice;
    do {
        // Read anew on every round: the user may have inserted the card
        // while the empty choice told them to.
        offered.clear();
        ders.clear();
        bool anyFound = false;
        for (CertificatePtr& candidate : ListUserCertificates()) {
            anyFound = true;
            Bytes der = CertificateDer(candidate.get());
            if (!PassesFilter(checkValidity, filter, der.data(), der.size())) continue;
            offered.push_back(std::move(candidate));
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

void SigningProviderNSS::BeginSigning(std::uint32_t)
{
    key_.reset();
    keyFailure_ = SigningResult::Failed;
    if (!certificate_) return;
    keyFailure_ = SigningKey::Open(certificate_.get(), pins_, key_);
}

void SigningProviderNSS::EndSigning()
{
    key_.reset();
    pins_.keyPin.reset();  // SecretString wipes its bytes
}

SigningResult SigningProviderNSS::SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash,
                                           std::int32_t length, std::string& signedHash)
{
    WriteEventEntry(EntryType::Information, "SignHash started with NSS signing provider");
    if (!key_) return keyFailure_ == SigningResult::Success ? SigningResult::Failed : keyFailure_;
    Bytes signature;
    const SigningResult result = SignWithKey(key_->get(), keyType_, hashAlgorithm, hash, length, pins_, signature);
    if (result == SigningResult::Success) signedHash = Base64Encode(signature, Base64Format::Base64);
    return result;
}

SigningResult SigningProviderNSS::SignHashes(const std::string&, std::vector<HashEntry>&)
{
    WriteEventEntry(EntryType::Information, "SignHashes started with NSS signing provider");
    return SigningResult::Unsupported;
}

SlotPtr SigningProviderNSS::KeySlot()
{
    if (key_) return SlotPtr(PK11_ReferenceSlot(key_->slot()));
    if (!certificate_) return nullptr;
    // Before BeginSigning: the slot that signing will try first.
    std::vector<SlotPtr> slots = SlotsForCertificate(certificate_.get());
    return slots.empty() ? nullptr : std::move(slots.front());
}

std::string SigningProviderNSS::GetProviderName() { return ModuleName(KeySlot().get()); }

std::string SigningProviderNSS::GetSmartCardReader() { return SlotDescription(KeySlot().get()); }

std::string SigningProviderNSS::GetModuleLibrary() { return ModuleLibrary(KeySlot().get()); }

std::pair<std::string, std::string> SigningProviderNSS::GetTokenMaker() { return TokenMaker(KeySlot().get()); }

std::string SigningProviderNSS::GetCertificateText() const
{
    const Bytes der = CertificateDer(certificate_.get());
    return der.empty() ? std::string() : Base64Encode(der, Base64Format::Base64Header);
}

}  // namespace nerolin
