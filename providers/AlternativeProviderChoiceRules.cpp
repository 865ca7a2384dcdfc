#include "providers/AlternativeProviderChoiceRules.h"

#include "eventlog/EventLog.h"
#include "platform/Settings.h"

namespace nerolin {
namespace {

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<AlternativeRule> Refuse(std::string* why, std::string reason)
{
    if (why) *why = std::move(reason);
    return std::nullopt;
}

}  // namespace

std::optional<AlternativeRule> ParseAlternativeRule(std::string_view text, std::string* why)
{
    AlternativeRule rule;
    bool hasUse = false;
    while (!text.empty()) {
        const std::size_t end = text.find(';');
        const std::string_view part = Trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (part.empty()) continue;
        const std::size_t equals = part.find('=');
        if (equals == std::string_view::npos) return Refuse(why, "no \"=\" in \"" + std::string(part) + "\"");
        const std::string key(Trimmed(part.substr(0, equals)));
        const std::string value(Trimmed(part.substr(equals + 1)));
        if (value.empty()) return Refuse(why, "no value for " + key);
        std::optional<std::string>* fact = key == "module"         ? &rule.module
                                           : key == "manufacturer" ? &rule.manufacturer
                                           : key == "model"        ? &rule.model
                                           : key == "provider"     ? &rule.provider
                                           : key == "card"         ? &rule.card
                                                                   : nullptr;
        if (key == "use") {
            if (hasUse) return Refuse(why, "use given twice");
            hasUse = true;
            rule.target = value == "key-storage" ? AlternativeTarget{AlternativeTarget::Kind::KeyStorageLibrary}
                                                 : AlternativeTarget{AlternativeTarget::Kind::Module, {}, value};
        } else if (!fact) {
            return Refuse(why, "unknown part " + key);
        } else if (*fact) {
            return Refuse(why, key + " given twice");
        } else {
            *fact = value;
        }
    }
    if (!hasUse) return Refuse(why, "no use");
    if (!rule.module && !rule.manufacturer && !rule.model && !rule.provider && !rule.card)
        return Refuse(why, "no fact to compare");
    return rule;
}

std::vector<AlternativeRule> ReadAlternativeRules()
{
    std::vector<AlternativeRule> rules;
    const std::optional<SettingsKey> machine = SettingsKey::OpenMachine();
    if (!machine) return rules;
    for (int number = 1;; ++number) {
        const std::string name = kAlternativeRulePrefix + std::to_string(number);
        const std::optional<std::string> text = machine->ReadText(name, kAlternativeRuleGroup);
        if (!text) break;
        std::string why;
        std::optional<AlternativeRule> rule = ParseAlternativeRule(*text, &why);
        if (!rule) {
            WriteEventEntry(EntryType::Warning, std::string(kAlternativeRuleGroup) + "/" + name + " ignored: " + why);
            continue;
        }
        rule->name = name;
        rules.push_back(std::move(*rule));
    }
    return rules;
}

}  // namespace nerolin
