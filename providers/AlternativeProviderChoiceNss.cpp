// The composite's entry to the choice, apart from the rest: the NSS
// declarations it needs cannot meet p11-kit's PKCS#11 ones in one file.

#include <tuple>

#include "providers/AlternativeProviderChoice.h"
#include "providers/SigningProviderNSS.h"

namespace nerolin {

std::unique_ptr<SigningProvider> ChooseAlternativeProvider(const std::string& providerName,
                                                           SigningProviderNSS& nssProvider)
{
    KeyHolder holder;
    holder.providerName = providerName;
    holder.moduleLibrary = nssProvider.GetModuleLibrary();
    std::tie(holder.tokenManufacturer, holder.tokenModel) = nssProvider.GetTokenMaker();
    holder.smartCardReader = [&nssProvider] { return nssProvider.GetSmartCardReader(); };
    return ChooseAlternative(holder);
}

}  // namespace nerolin
