#include "providers/CertificateDatabaseSetting.h"

#include "platform/Settings.h"

namespace nerolin {

// The user's value, else an administrator's in the machine file.
std::optional<std::string> StoredCertificateDatabase()
{
    if (auto value = SettingsKey::OpenUser().ReadText(kCertificateDatabaseSetting)) return value;
    if (auto machine = SettingsKey::OpenMachine()) return machine->ReadText(kCertificateDatabaseSetting);
    return std::nullopt;
}

}  // namespace nerolin
