// The composite's entry to the choice, with the reader of the key that the
// system's store provider holds.

#include "providers/AlternativeProviderChoice.h"
#include "providers/SigningProviderStore.h"

namespace nerolin {

std::unique_ptr<SigningProvider> ChooseAlternativeProvider(const std::string& providerName,
                                                           SigningProviderStore& storeProvider)
{
    return ChooseAlternative(providerName, [&storeProvider] { return storeProvider.GetSmartCardReader(); });
}

}  // namespace nerolin
