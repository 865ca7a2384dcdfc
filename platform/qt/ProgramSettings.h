#pragma once

// The settings store the programs install at start, and where it keeps each
// scope, for diagnosis: on Linux the INI files of QSettingsStore.h, on
// Windows the registry keys of platform/windows/RegistrySettingsStore.h.

#include <string>

namespace nerolin {

void InstallProgramSettingsStore();

// A file path on Linux, a registry key on Windows.
std::string UserSettingsLocation();
std::string MachineSettingsLocation();

}  // namespace nerolin
