// The composite's entry to the choice, apart from the rest: the NSS
// declarations it needs cannot meet p11-kit's PKCS#11 ones in one file.

#include "providers/AlternativeProviderChoice.h"
#include "providers/SigningProviderNSS.h"

namespace nerolin {

std::unique_ptr<SigningProvider> ChooseAlternativeProvider(const std::string& providerName,
                                                           SigningProviderNSS& nssProvider)
{
    return ChooseAlternative(providerName, [&nssProvider] { return nssProvider.GetSmartCardReader(); });
}

}  // namespace nerolin
