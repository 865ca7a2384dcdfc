#include "platform/KnownSettings.h"

#include <strings.h>

#include <cctype>

#include "BuildConfig.h"
#include "platform/Settings.h"

namespace nerolin {
namespace {

using Kind = KnownSetting::Kind;
using Files = KnownSetting::Files;

// The updater's values besides the one the program writes itself (its
// library keeps them in the same group).
constexpr char kCheckForUpdates[] = "CheckForUpdates";
constexpr char kSkipThisVersion[] = "SkipThisVersion";
constexpr char kCardPrefix[] = "Card";
constexpr char kRulePrefix[] = "Rule";

// The updater's values come last: a build without the updater reads none of
// them, and leaves them out.
constexpr KnownSetting kKnown[] = {
    {"", setting::kAutomaticallyClose, Kind::Number, Files::User, "1"},
    {"", setting::kStartSigningImmediately, Kind::Number, Files::User, "0"},
    {"", setting::kCheckCertificateValidity, Kind::Number, Files::User, "1"},
    {"", setting::kUseNoCacheForWhitelist, Kind::Number, Files::User, "1"},
    {"", setting::kProxyUrl, Kind::Text, Files::UserThenMachine, ""},
    {"", setting::kProxyUsername, Kind::Text, Files::UserThenMachine, ""},
    {"", setting::kProxyPassword, Kind::Password, Files::UserThenMachine, ""},
    {"", setting::kCertificateDatabase, Kind::Text, Files::UserThenMachine, ""},
    {setting::kSmartCardGroup, kCardPrefix, Kind::Numbered, Files::Machine, ""},
    {setting::kAlternativeProviderGroup, kRulePrefix, Kind::Numbered, Files::Machine, ""},
    {"", setting::kSkipUpdateCheckOnEnd, Kind::Number, Files::User, "0"},
    {"", setting::kAppcastUrl, Kind::Text, Files::UserThenMachine, ""},
    {setting::kUpdateGroup, setting::kLastCheckTime, Kind::Text, Files::User, ""},
    {setting::kUpdateGroup, kCheckForUpdates, Kind::Text, Files::User, ""},
    {setting::kUpdateGroup, kSkipThisVersion, Kind::Text, Files::User, ""},
};
constexpr std::size_t kUpdaterRows = 5;

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// "Card7": the prefix, then a number from 1 without leading zeros.
bool NumberedName(const std::string& name, const char* prefix)
{
    const std::string head(prefix);
    if (name.size() <= head.size() || strncasecmp(name.c_str(), prefix, head.size()) != 0) return false;
    if (name[head.size()] == '0') return false;
    for (std::size_t i = head.size(); i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

}  // namespace

std::span<const KnownSetting> KnownSettings()
{
    const std::span<const KnownSetting> all(kKnown);
    return build::kUpdater ? all : all.first(all.size() - kUpdaterRows);
}

const KnownSetting* FindKnownSetting(const std::string& group, const std::string& name)
{
    // QSettings' INI files keep top-level values in [General].
    const std::string effectiveGroup = SameName(group, "General") ? std::string() : group;
    for (const KnownSetting& known : KnownSettings()) {
        if (!SameName(effectiveGroup, known.group)) continue;
        if (known.kind == Kind::Numbered ? NumberedName(name, known.name) : SameName(name, known.name)) return &known;
    }
    return nullptr;
}

}  // namespace nerolin
