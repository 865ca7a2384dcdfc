#pragma once

// The XDG base directories, read anew from the environment at each call.
// A variable that is unset, empty or not an absolute path falls back to
// its default, as the base-directory rules say.

#include <string>
#include <vector>

namespace nerolin {

std::string HomeDirectory();         // $HOME, else the password database's entry
std::string ConfigHome();            // $XDG_CONFIG_HOME or ~/.config
std::string DataHome();              // $XDG_DATA_HOME or ~/.local/share
std::string StateHome();             // $XDG_STATE_HOME or ~/.local/state
std::string FirstConfigDirectory();  // first absolute entry of $XDG_CONFIG_DIRS, or /etc/xdg
// $XDG_DATA_DIRS (default /usr/local/share, /usr/share) and $XDG_CONFIG_DIRS
// (default /etc/xdg), absolute entries in order.
std::vector<std::string> DataDirectories();
std::vector<std::string> ConfigDirectories();
// $XDG_RUNTIME_DIR; empty when it is unset or not absolute.
std::string RuntimeDirectory();

// Creates the directory and its missing parents; new ones get mode. True
// when the directory exists afterwards.
bool MakeDirectories(const std::string& path, unsigned mode);

}  // namespace nerolin
