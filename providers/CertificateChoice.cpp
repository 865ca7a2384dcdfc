#include "providers/CertificateChoice.h"

#include "common/UserPrompts.h"
#include "filter/CertificateMatching.h"
#include "providers/SigningProvider.h"

namespace nerolin {

SigningResult ChooseFromStore(bool checkValidity, const CertificateFilter& filter,
                              const std::function<std::optional<std::vector<Bytes>>()>& listStore, std::size_t& chosen)
{
    std::vector<std::size_t> places;  // of the offered certificates in the store's list
    std::optional<std::size_t> choice;
    do {
        const std::optional<std::vector<Bytes>> all = listStore();
        if (!all) return SigningResult::Failed;
        std::vector<Bytes> offered;
        places.clear();
        for (std::size_t i = 0; i < all->size(); ++i) {
            const Bytes& der = (*all)[i];
            if (!PassesFilter(checkValidity, filter, der.data(), der.size())) continue;
            offered.push_back(der);
            places.push_back(i);
        }
        if (offered.empty()) ReportNothingToChoose(checkValidity, filter);
        choice = Prompts().ChooseCertificate(offered, !all->empty());
    } while (choice == kListCertificatesAgain);
    if (!choice) return SigningResult::Canceled;
    if (*choice >= places.size()) return SigningResult::Failed;
    chosen = places[*choice];
    return SigningResult::Success;
}

}  // namespace nerolin
