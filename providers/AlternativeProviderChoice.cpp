#include "providers/AlternativeProviderChoice.h"

#include <sys/stat.h>

#include "eventlog/EventLog.h"
#include "providers/SigningProviderPKCS11.h"
#include "providers/SigningProviderTvrKSP.h"
#include "providers/SmartCardName.h"

namespace nerolin {
namespace {

using Kind = AlternativeTarget::Kind;

constexpr char kPathRuleName[] = "libIDPrimePKCS11.so";

constexpr ProviderNameRow kProviderNames[] = {
    {"Tavorel Key Storage Provider", {Kind::KeyStorageLibrary, nullptr}},
    {"Bit4id Universal Middleware Provider", {Kind::Pkcs11Module, "libbit4ipki.so"}},
    {"Bit4id Universal Middleware Provider AUTH", {Kind::Pkcs11Module, "libbit4ipki_auth.so"}},
    {"Bit4id Universal Middleware Provider DS", {Kind::Pkcs11Module, "libbit4ipki_ds.so"}},
    {"Gemalto Classic Card CSP", {Kind::Pkcs11Module, "libgclib.so"}},
    {"eToken Base Cryptographic Provider", {Kind::PathRuleModule, nullptr}},
    {"SafeNet Smart Card Key Storage Provider", {Kind::PathRuleModule, nullptr}},
    {"Oberthur Card Systems Cryptographic Provider", {Kind::Pkcs11Module, "libOCSCryptoki.so"}},
    {"Microsoft Base Smart Card Crypto Provider", {Kind::ByCardName, nullptr}},
    {"Microsoft Smart Card Key Storage Provider", {Kind::ByCardName, nullptr}},
};

constexpr CardNameRow kCardNames[] = {
    {"Incard  TS2048", {Kind::Pkcs11Module, "libbit4ipki.so"}},
    {"Classic TPC", {Kind::Pkcs11Module, "libgclib.so"}},
    {"IDPrime MD T=0", {Kind::PathRuleModule, nullptr}},
};

constexpr char kNoAlternative[] = "No alternative signing provider found; using NSS";

std::unique_ptr<SigningProviderAlternative> Create(const AlternativeTarget& target)
{
    if (target.kind == Kind::KeyStorageLibrary) {
        WriteEventEntry(EntryType::Information, std::string("Trying to use ") + kTvrKspLibrary);
        return std::make_unique<SigningProviderTvrKSP>();
    }
    const bool pathRule = target.kind == Kind::PathRuleModule;
    WriteEventEntry(EntryType::Information,
                    std::string("Trying to use PKCS#11 module: ") + (pathRule ? kPathRuleName : target.module));
    return std::make_unique<SigningProviderPKCS11>(pathRule ? PathRuleModule() : std::string(target.module));
}

}  // namespace

std::span<const ProviderNameRow> ProviderNameTable() { return kProviderNames; }
std::span<const CardNameRow> CardNameTable() { return kCardNames; }

std::string PathRuleModule(std::string_view installedPath)
{
    struct stat status {};
    const std::string path(installedPath);
    if (stat(path.c_str(), &status) == 0) return path;
    return kPathRuleName;
}

std::unique_ptr<SigningProviderAlternative> ChooseAlternative(const std::string& providerName,
                                                              const std::function<std::string()>& smartCardReader)
{
    for (const ProviderNameRow& row : kProviderNames) {
        if (providerName != row.providerName) continue;
        if (row.target.kind != Kind::ByCardName) return Create(row.target);

        const std::string cardName = smartCardReader ? GetCardName(smartCardReader()) : std::string();
        WriteEventEntry(EntryType::Information, "Card name: " + cardName);
        for (const CardNameRow& card : kCardNames) {
            if (cardName == card.cardName) return Create(card.target);
        }
        break;
    }
    WriteEventEntry(EntryType::Warning, kNoAlternative);
    return nullptr;
}

}  // namespace nerolin
