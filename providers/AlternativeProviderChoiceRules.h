#pragma once

// An administrator's rules for the alternative choice: which module or
// library signs for keys of a given token, for the middlewares the shipped
// tables do not know. Machine-wide settings, group [AlternativeProviders],
// one text value each named Rule1, Rule2, ... (read until the first missing
// number), compared in that order before the shipped tables:
//
//   Rule1="manufacturer=Example Cards Ltd; model=EC-2; use=libexample-pkcs11.so"
//   Rule2="module=libvendor.so; use=/opt/vendor/lib/libvendor-batch.so"
//   Rule3="provider=Maker Module; use=key-storage"
//
// Facts, each compared whole and in exact case, all of a rule's facts must
// hold: module (the file name of the key's module library; with a "/", its
// whole path as the database registers it), manufacturer and model (the
// token's, as `nerolin-tool tokens` shows them), provider (the module's
// common name in the NSS database), card (the card's name from the card
// database). use: a PKCS#11 module (file name for the library search, or a
// path), or key-storage for the maker's key-storage library. Parts are
// separated by ";", blanks around a part are not part of it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Settings.h"
#include "providers/AlternativeProviderChoice.h"

namespace nerolin {

struct AlternativeRule {
    std::string name;  // "Rule2", for the log
    std::optional<std::string> module, manufacturer, model, provider, card;
    AlternativeTarget target{AlternativeTarget::Kind::Module};
};

inline constexpr const char* kAlternativeRuleGroup = setting::kAlternativeProviderGroup;
inline constexpr char kAlternativeRulePrefix[] = "Rule";

// One rule's text; nullopt with why when it is malformed (no fact, no use,
// an unknown or repeated part, an empty value).
std::optional<AlternativeRule> ParseAlternativeRule(std::string_view text, std::string* why = nullptr);

// The machine-wide rules in order; a malformed one is left out with a
// warning entry that names it and says why.
std::vector<AlternativeRule> ReadAlternativeRules();

}  // namespace nerolin
