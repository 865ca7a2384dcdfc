#pragma once

// The choice of an alternative provider for signing a batch: from the name
// of the module that holds the chosen certificate's key, a provider that
// reaches the same key faster or with a single PIN entry, or none.

#include <memory>
#include <string>

#include "providers/SigningProvider.h"

namespace nerolin {

class SigningProviderNSS;

// A new, not yet initialized provider owned by the caller, or none. Writes
// its own entries, among them the warning
// "No alternative signing provider found; using NSS" when it finds none.
std::unique_ptr<SigningProvider> ChooseAlternativeProvider(const std::string& providerName,
                                                           SigningProviderNSS& nssProvider);

}  // namespace nerolin
