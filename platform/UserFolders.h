#pragma once

// The user's own folders that the core keeps its data in, as UTF-8 paths
// with '/' between names.

#include <string>

namespace nerolin {

// Data of this machine that is the user's alone and need not travel with
// them (the event store): $XDG_STATE_HOME (default ~/.local/state) on Linux,
// the local application data known folder on Windows.
std::string UserStateFolder();

}  // namespace nerolin
