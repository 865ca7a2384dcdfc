// Check 3: the settings files, each value the program knows with the value
// in effect and the file it comes from, and the values nobody reads. The
// proxy password is never shown: only whether one is stored and readable.
#include <filesystem>

#include "common/SecretString.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "platform/KnownSettings.h"
#include "platform/qt/ProgramSettings.h"
#include "platform/Settings.h"
#include "tools/nerolin-tool/doctor/Checks.h"

namespace nerolin::tool::doctor {
namespace {

using Kind = KnownSetting::Kind;
using Files = KnownSetting::Files;

std::string Name(const KnownSetting& known)
{
    return known.group[0] == '\0' ? std::string(known.name) : std::string(known.group) + "/" + known.name;
}

void AddFile(CheckResult& check, const char* item, const std::string& path)
{
    std::error_code error;
    if (std::filesystem::exists(path, error))
        check.Add(item, path);
    else
        check.Add(item, path, std::nullopt, LoadString(strings::kDoctorNoteNotPresent));
}

// The value of a number or text as the program takes it, and its file.
void AddValue(CheckResult& check, const KnownSetting& known, const SettingsKey& user,
              const std::optional<SettingsKey>& machine)
{
    const bool fromUser = known.files != Files::Machine;
    const bool fromMachine = known.files != Files::User && machine.has_value();
    auto read = [&](const SettingsKey& key) -> std::optional<std::string> {
        if (known.kind != Kind::Number) return key.ReadText(known.name, known.group);
        // Shown as the program takes it: "-1" and "4294967295" alike as -1.
        const auto number = key.ReadNumber(known.name, known.group);
        if (!number) return std::nullopt;
        return std::to_string(static_cast<std::int32_t>(*number));
    };
    std::optional<std::string> value;
    const char* source = "default";
    if (fromUser && (value = read(user))) source = "user";
    if (!value && fromMachine && (value = read(*machine))) source = "machine";
    if (!value) value = known.defaultValue;
    const std::string shown = known.kind == Kind::Number ? *value : "\"" + *value + "\"";
    check.Add("setting", Name(known) + " = " + shown + " (" + source + ")");
}

void AddPassword(CheckResult& check)
{
    std::string url;
    const bool machineWide = ReadProxyUrl(url);
    std::optional<SettingsKey> key;
    if (machineWide)
        key = SettingsKey::OpenMachine();
    else
        key = SettingsKey::OpenUser();
    const bool stored = key && key->ReadBinary(setting::kProxyPassword).has_value();
    if (!stored) {
        check.Add("setting", std::string(setting::kProxyPassword) + " = not stored");
        return;
    }
    SecretString password;
    const bool readable = ReadProxyPassword(*key, machineWide, password);
    const std::string where = machineWide ? " (machine)" : " (user)";
    // An empty stored password reads as none: it is stored, and nothing is lost.
    const bool empty = key->ReadBinary(setting::kProxyPassword)->empty();
    if (readable || empty)
        check.Add("setting", std::string(setting::kProxyPassword) + " = stored, readable" + where);
    else
        check.Add("setting", std::string(setting::kProxyPassword) + " = stored, not readable" + where, Verdict::Warning,
                  LoadString(strings::kDoctorNoteUnreadable));
}

void AddCardEntries(CheckResult& check)
{
    const std::vector<std::string> entries = ReadMachineCardEntries();
    for (std::size_t i = 0; i < entries.size(); ++i)
        check.Add("setting", std::string(setting::kSmartCardGroup) + "/Card" + std::to_string(i + 1) + " = \"" +
                                 entries[i] + "\" (machine)");
}

// Names no code reads, and known names in a file they are not read from
// (a per-user number in the machine file has no effect).
void AddUnknown(CheckResult& check, const SettingsKey& key, bool machineFile)
{
    const char* source = machineFile ? "machine" : "user";
    for (const auto& [group, name] : key.Names()) {
        const KnownSetting* known = FindKnownSetting(group, name);
        if (known && known->files != (machineFile ? Files::User : Files::Machine)) continue;
        check.Add("unknownSetting", (group.empty() ? name : group + "/" + name) + " (" + source + ")", Verdict::Warning,
                  LoadString(strings::kDoctorNoteUnknown));
    }
}

}  // namespace

CheckResult CheckSettings()
{
    CheckResult check{"settings", strings::kDoctorCheckSettings};
    AddFile(check, "userFile", UserSettingsLocation());
    AddFile(check, "machineFile", MachineSettingsLocation());
    const SettingsKey user = SettingsKey::OpenUser();
    const std::optional<SettingsKey> machine = SettingsKey::OpenMachine();
    for (const KnownSetting& known : KnownSettings()) {
        if (known.kind == Kind::Password)
            AddPassword(check);
        else if (known.kind == Kind::Numbered)
            AddCardEntries(check);
        else
            AddValue(check, known, user, machine);
    }
    const bool passwordUnreadable = check.verdict == Verdict::Warning;
    AddUnknown(check, user, false);
    if (machine) AddUnknown(check, *machine, true);

    if (passwordUnreadable)
        check.summary = LoadString(strings::kDoctorPasswordUnreadable);
    else if (check.verdict == Verdict::Warning)
        check.summary = LoadString(strings::kDoctorSettingsUnknown);
    else
        check.summary = LoadString(strings::kDoctorSettingsOk);
    return check;
}

}  // namespace nerolin::tool::doctor
