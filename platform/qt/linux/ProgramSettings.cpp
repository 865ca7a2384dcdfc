#include "platform/qt/ProgramSettings.h"

#include "platform/qt/QSettingsStore.h"

namespace nerolin {

void InstallProgramSettingsStore() { InstallQSettingsStore(); }
std::string UserSettingsLocation() { return UserSettingsPath(); }
std::string MachineSettingsLocation() { return MachineSettingsPath(); }

}  // namespace nerolin
