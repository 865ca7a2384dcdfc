#pragma once

// Keeps what the process holds in memory (a PIN, a proxy password, while
// they are in use) from being written to disk by a crash: no core dump, and
// on Linux no other process of the user may read the process's memory.
// Called first thing in main.
//
// For debugging, dumps stay on when the environment has
// NEROLIN_CORE_DUMPS=1, and in builds configured with -DNEROLIN_CORE_DUMPS=ON
// (sanitizer builds are: LeakSanitizer reads the process from outside).

namespace nerolin {

// True when dumps are now off; false when they were kept on as asked, or
// could not be turned off.
bool DisableCoreDumps();

// The system's own switch, without the debugging exceptions above.
bool TurnOffCoreDumps();

}  // namespace nerolin
