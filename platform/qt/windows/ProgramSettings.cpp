#include "platform/qt/ProgramSettings.h"

#include <memory>

#include "platform/windows/RegistrySettingsStore.h"

namespace nerolin {

// Not QSettings: it writes byte arrays as REG_SZ "@ByteArray(...)" texts,
// where the stored password is REG_BINARY.
void InstallProgramSettingsStore() { InstallSettingsStore(std::make_shared<RegistrySettingsStore>()); }
std::string UserSettingsLocation() { return "HKEY_CURRENT_USER\\Software\\Tavorel\\Nerolin"; }
std::string MachineSettingsLocation() { return "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavorel\\Nerolin (32-bit view)"; }

}  // namespace nerolin
