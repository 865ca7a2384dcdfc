#pragma once

// Which alternative provider to try for the signing, decided from the name
// of the NSS module that holds the chosen certificate's key, and, for the
// generic smart-card middlewares, from the name of the card in the reader.
// Some card middlewares sign a batch faster, or with a single PIN entry,
// through their own PKCS#11 module or the maker's key-storage library.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "providers/SigningProviderAlternative.h"

namespace nerolin {

// What one table row leads to.
struct AlternativeTarget {
    enum class Kind { KeyStorageLibrary, Pkcs11Module, PathRuleModule, ByCardName };
    Kind kind;
    const char* module;  // Pkcs11Module: the library file name; otherwise unused
};

struct ProviderNameRow {
    const char* providerName;
    AlternativeTarget target;
};
struct CardNameRow {
    const char* cardName;
    AlternativeTarget target;
};

// Both tables, in the order they are compared (whole name, exact case).
std::span<const ProviderNameRow> ProviderNameTable();
std::span<const CardNameRow> CardNameTable();

// The module of the path rule: its fixed installation path when that file
// exists, else its bare name for the library search.
std::string PathRuleModule(std::string_view installedPath = "/usr/lib/libIDPrimePKCS11.so");

class SigningProviderStore;

// A new, not yet initialized alternative, or null. smartCardReader names the
// reader that holds the key; it is asked only for the generic middlewares.
// Writes the "Trying to use ..." entry of the choice, or the warning
// "No alternative signing provider found; using NSS".
std::unique_ptr<SigningProviderAlternative> ChooseAlternative(const std::string& providerName,
                                                              const std::function<std::string()>& smartCardReader);

// The composite's choice: as above, with the reader of the key that the
// system's store provider holds.
std::unique_ptr<SigningProvider> ChooseAlternativeProvider(const std::string& providerName,
                                                           SigningProviderStore& storeProvider);

}  // namespace nerolin
