#pragma once

// The settings store of the program: two Qt INI files (QSettings'
// IniFormat), read anew at every open.
//   user:    $XDG_CONFIG_HOME/Tavorel/Nerolin.conf (default ~/.config),
//            created by the first write; its folder by the first open;
//   machine: Tavorel/Nerolin.conf under the first entry of $XDG_CONFIG_DIRS
//            (default /etc/xdg); never created, written only when it exists
//            and is writable, and then rewritten in place.
// Top-level values sit in [General]. Texts are INI texts, byte arrays are
// @ByteArray(...) values; a text that the INI reader splits at an unquoted
// comma is read back whole.

#include <string>

namespace nerolin {

std::string UserSettingsPath();
std::string MachineSettingsPath();

// Installs the store over these files (platform/SettingsStore.h). The
// program, its tools and every test program that needs the real files call
// it once at start.
void InstallQSettingsStore();

}  // namespace nerolin
