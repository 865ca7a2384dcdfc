#include "providers/AlternativeProviderChoice.h"

#include "eventlog/EventLog.h"
#include "providers/AlternativeProviderChoiceModules.h"
#include "providers/AlternativeProviderChoiceRules.h"
#include "providers/SigningProviderPKCS11.h"
#include "providers/SigningProviderTvrKSP.h"
#include "providers/SmartCardName.h"

namespace nerolin {
namespace {

using Kind = AlternativeTarget::Kind;

const ProviderNameRow kProviderNames[] = {
    {"Tavorel Key Storage Provider", {Kind::KeyStorageLibrary}},
    {"Bit4id Universal Middleware Provider", {Kind::Maker, MakerModule::Bit4id}},
    {"Bit4id Universal Middleware Provider AUTH", {Kind::Maker, MakerModule::Bit4idAuth}},
    {"Bit4id Universal Middleware Provider DS", {Kind::Maker, MakerModule::Bit4idDs}},
    {"Gemalto Classic Card CSP", {Kind::Maker, MakerModule::GemaltoClassic}},
    {"eToken Base Cryptographic Provider", {Kind::Maker, MakerModule::IDPrime}},
    {"SafeNet Smart Card Key Storage Provider", {Kind::Maker, MakerModule::IDPrime}},
    {"Oberthur Card Systems Cryptographic Provider", {Kind::Maker, MakerModule::Oberthur}},
    {"Microsoft Base Smart Card Crypto Provider", {Kind::ByCardName}},
    {"Microsoft Smart Card Key Storage Provider", {Kind::ByCardName}},
};

const CardNameRow kCardNames[] = {
    {"Incard  TS2048", {Kind::Maker, MakerModule::Bit4id}},
    {"Classic TPC", {Kind::Maker, MakerModule::GemaltoClassic}},
    {"IDPrime MD T=0", {Kind::Maker, MakerModule::IDPrime}},
};

std::unique_ptr<SigningProviderAlternative> Create(const AlternativeTarget& target)
{
    if (target.kind == Kind::KeyStorageLibrary) {
        WriteEventEntry(EntryType::Information, std::string("Trying to use ") + kTvrKspLibrary);
        return std::make_unique<SigningProviderTvrKSP>();
    }
    // The entry names the module as the table does; the IDPrime module loads
    // from its installed path when its maker's package put it there.
    const bool maker = target.kind == Kind::Maker;
    WriteEventEntry(EntryType::Information,
                    "Trying to use PKCS#11 module: " + (maker ? MakerModuleFile(target.maker) : target.module));
    if (!maker) return std::make_unique<SigningProviderPKCS11>(target.module);
    return std::make_unique<SigningProviderPKCS11>(
        target.maker == MakerModule::IDPrime ? IDPrimeModule() : std::string(MakerModuleFile(target.maker)));
}

bool ModuleMatches(const std::string& fact, const std::string& library)
{
    // A name with a directory is a whole path; otherwise the file name.
    return fact.find('/') != std::string::npos ? fact == library : fact == LibraryFileName(library);
}

// The card name is read once, and only when a rule or a row asks for it.
class CardNameOnce {
public:
    explicit CardNameOnce(const std::function<std::string()>& reader) : reader_(reader) {}
    const std::string& Get()
    {
        if (!name_) {
            name_ = reader_ ? GetCardName(reader_()) : std::string();
            WriteEventEntry(EntryType::Information, "Card name: " + *name_);
        }
        return *name_;
    }

private:
    const std::function<std::string()>& reader_;
    std::optional<std::string> name_;
};

bool RuleHolds(const AlternativeRule& rule, const KeyHolder& holder, CardNameOnce& cardName)
{
    if (rule.module && !ModuleMatches(*rule.module, holder.moduleLibrary)) return false;
    if (rule.manufacturer && *rule.manufacturer != holder.tokenManufacturer) return false;
    if (rule.model && *rule.model != holder.tokenModel) return false;
    if (rule.provider && *rule.provider != holder.providerName) return false;
    return !rule.card || *rule.card == cardName.Get();
}

// The target of the first rule or row that names the holder, or nullopt.
std::optional<AlternativeTarget> Decide(const KeyHolder& holder, CardNameOnce& cardName)
{
    for (const AlternativeRule& rule : ReadAlternativeRules()) {
        if (!RuleHolds(rule, holder, cardName)) continue;
        WriteEventEntry(EntryType::Information,
                        "Alternative signing provider by " + std::string(kAlternativeRuleGroup) + "/" + rule.name);
        return rule.target;
    }
    for (const ProviderNameRow& row : kProviderNames) {
        if (holder.providerName == row.providerName) return row.target;
    }
    // What this system knows of the key besides the provider name: written
    // down, so that an administrator can write a rule for it.
    if (!holder.moduleLibrary.empty() || !holder.tokenManufacturer.empty() || !holder.tokenModel.empty())
        WriteEventEntry(EntryType::Information, "Key module library: \"" + holder.moduleLibrary +
                                                    "\", token manufacturer: \"" + holder.tokenManufacturer +
                                                    "\", model: \"" + holder.tokenModel + "\"");
    const std::string file = LibraryFileName(holder.moduleLibrary);
    for (const ModuleFileRow& row : ModuleFileTable()) {
        if (file == row.libraryFile) return row.target;
    }
    return std::nullopt;
}

}  // namespace

std::span<const ProviderNameRow> ProviderNameTable() { return kProviderNames; }
std::span<const CardNameRow> CardNameTable() { return kCardNames; }

std::string LibraryFileName(const std::string& library)
{
    const std::size_t slash = library.find_last_of("/\\");
    return slash == std::string::npos ? library : library.substr(slash + 1);
}

std::optional<AlternativeTarget> ResolveCardName(const AlternativeTarget& target, const std::string& cardName)
{
    if (target.kind != Kind::ByCardName) return target;
    for (const CardNameRow& card : kCardNames) {
        if (cardName == card.cardName) return card.target;
    }
    return std::nullopt;
}

std::string DescribeTarget(const AlternativeTarget& target)
{
    switch (target.kind) {
    case Kind::KeyStorageLibrary: return kTvrKspLibrary;
    case Kind::Maker:
        return "PKCS#11 " +
               (target.maker == MakerModule::IDPrime ? IDPrimeModule() : std::string(MakerModuleFile(target.maker)));
    case Kind::Module: return "PKCS#11 " + target.module;
    case Kind::ByCardName: break;
    }
    return "the card's name";
}

std::unique_ptr<SigningProviderAlternative> ChooseAlternative(const KeyHolder& holder)
{
    CardNameOnce cardName(holder.smartCardReader);
    std::optional<AlternativeTarget> target = Decide(holder, cardName);
    if (target && target->kind == Kind::ByCardName) target = ResolveCardName(*target, cardName.Get());
    if (target) return Create(*target);
    WriteEventEntry(EntryType::Warning, NoAlternativeEntry());
    return nullptr;
}

}  // namespace nerolin
