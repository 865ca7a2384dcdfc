#pragma once

// Which alternative provider to try for the signing. Some card middlewares
// sign a batch faster, or with a single PIN entry, through their own PKCS#11
// module or the maker's key-storage library than through the store that
// found the certificate. The choice looks at what the system knows of the
// token that holds the key, in this order (the first answer decides):
//
//   1. the administrator's rules of the machine-wide settings, group
//      [AlternativeProviders], values Rule1, Rule2, ... (AlternativeProviderChoiceRules.h);
//   2. the provider name: the CSP or KSP name on Windows, the NSS module's
//      common name here (a module an administrator registered under a CSP
//      name keeps working);
//   3. the file name of the module's library (the card makers' own modules,
//      and the generic middlewares that leave the choice to the card).
//
// A generic middleware is decided by the name of the card in the key's
// reader (its ATR looked up in the card database, CardDatabase.h). The
// library names of the makers' modules are the system's own
// (AlternativeProviderChoiceModules.h, with a part in linux/ and one in windows/).

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "providers/SigningProviderAlternative.h"

namespace nerolin {

// The card makers' PKCS#11 modules the choice can lead to.
enum class MakerModule { Bit4id, Bit4idAuth, Bit4idDs, GemaltoClassic, IDPrime, Oberthur };

// What one table row or rule leads to.
struct AlternativeTarget {
    enum class Kind { KeyStorageLibrary, Maker, Module, ByCardName };
    Kind kind;
    MakerModule maker = MakerModule::Bit4id;  // Kind::Maker
    std::string module = {};                  // Kind::Module: a library file name or path
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

// What the system knows of the token that holds the chosen certificate's key.
struct KeyHolder {
    std::string providerName;       // CSP or KSP name; the NSS module's common name
    std::string moduleLibrary;      // the module's library as registered (path or file name); may be empty
    std::string tokenManufacturer;  // CK_TOKEN_INFO's manufacturerID, without its blank padding
    std::string tokenModel;         // CK_TOKEN_INFO's model, likewise
    // The reader that holds the key; asked only when a card decides.
    std::function<std::string()> smartCardReader;
};

// The file name of a library path: what follows its last directory separator.
std::string LibraryFileName(const std::string& library);

// The module or library a target leads to for this card name (ByCardName
// looks the card up in the card table); nullopt when it leads nowhere.
std::optional<AlternativeTarget> ResolveCardName(const AlternativeTarget& target, const std::string& cardName);

// How a target is shown to an administrator: "libTvrKSP.so", "PKCS#11 libgclib.so".
std::string DescribeTarget(const AlternativeTarget& target);

// A new, not yet initialized alternative, or null. Writes the entries of the
// choice ("Trying to use ...") or the warning "No alternative signing
// provider found; using NSS".
std::unique_ptr<SigningProviderAlternative> ChooseAlternative(const KeyHolder& holder);

class SigningProviderStore;

// The composite's choice: as above, for the key that the system's store
// provider holds.
std::unique_ptr<SigningProvider> ChooseAlternativeProvider(const std::string& providerName,
                                                           SigningProviderStore& storeProvider);

}  // namespace nerolin
