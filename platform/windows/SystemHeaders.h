#pragma once

// Read first by every file of the Windows build (the top-level
// CMakeLists.txt passes it with -include).
//
// windows.h reaches many files through the headers of libraries (curl's
// through winsock2.h, cpp-httplib's) and defines LoadString as a macro for
// LoadStringW. Where it came before the string table's header, the table's
// LoadString would be renamed in that file and not in others; where it came
// after, the calls would be. Read once at the top of every file, with the
// macro undone, the name means the string table's function everywhere.
// RegisterEventSource likewise: the event log's own function has that name
// (the system's is called by its W name where it is meant).

#include <windows.h>
#undef LoadString
#undef RegisterEventSource
