// The composite's entry to the choice, with what the system's store
// provider knows of the key.

#include <tuple>

#include "providers/AlternativeProviderChoice.h"
#include "providers/SigningProviderStore.h"

namespace nerolin {

std::unique_ptr<SigningProvider> ChooseAlternativeProvider(const std::string& providerName,
                                                           SigningProviderStore& storeProvider)
{
    KeyHolder holder;
    holder.providerName = providerName;
    holder.moduleLibrary = storeProvider.GetModuleLibrary();
    std::tie(holder.tokenManufacturer, holder.tokenModel) = storeProvider.GetTokenMaker();
    holder.smartCardReader = [&storeProvider] { return storeProvider.GetSmartCardReader(); };
    return ChooseAlternative(holder);
}

}  // namespace nerolin
