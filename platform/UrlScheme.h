#pragma once

// The "yendo:" URL scheme's handler: this program, registered for the user
// by "-Register", removed by "-Unregister", and read back at every start.
// On Linux a desktop entry (DesktopEntry.h); on Windows the key tree
// HKEY_CLASSES_ROOT\yendo with the values below, every text a REG_SZ whose
// byte count includes its terminating NUL:
//   yendo                      (default) "URL:yendo protocol"
//                              FriendlyTypeName "Nerolin"
//                              URL Protocol ""
//   yendo\Default Icon         (default) "<program path>",1
//   yendo\shell\open\command   (default) "<program path>" "%1"

#include <string>
#include <vector>

namespace nerolin {

// The running program's full path; empty when it cannot be read.
std::string ProgramPath();

// Makes programPath the user's handler of yendo: links. False when the path
// is empty or any part of the registration could not be written.
bool RegisterUrlScheme(const std::string& programPath);

// Removes the registration. False only when something present could not be
// removed; nothing to remove is success.
bool UnregisterUrlScheme();

struct RegistrationCheck {
    bool entryFound = false;            // false: no handler registration at all
    std::string entryPath;              // where the registration was read
    std::vector<std::string> problems;  // event texts, in the order found
};

// Reads the registration back and compares it with what RegisterUrlScheme
// writes for programPath. The problems, as the event log names them:
//   "can't read yendo key"                     nothing registered (entryFound false)
//   "bad value for yendo"                      not a handler of the scheme
//   "bad value for yendo\URL Protocol"         the scheme's mark is missing or not empty
//   "can't read yendo\shell\open\command key"  no command
//   "bad value for yendo\shell\open\command"   the command is not this program and the link
RegistrationCheck CheckRegistration(const std::string& programPath);

}  // namespace nerolin
