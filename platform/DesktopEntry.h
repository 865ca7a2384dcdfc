#pragma once

// The "yendo:" URL scheme on a freedesktop desktop: a desktop entry
// $XDG_DATA_HOME/applications/nerolin.desktop whose MimeType lists
// x-scheme-handler/yendo and whose Exec line is the program's quoted path
// and %u, made the default handler in the user's mimeapps.list, with the
// desktop database of that folder brought up to date.

#include <string>
#include <vector>

namespace nerolin {

inline constexpr char kDesktopEntryName[] = "nerolin.desktop";
inline constexpr char kSchemeMimeType[] = "x-scheme-handler/yendo";

// The running program's full path; empty when it cannot be read.
std::string ProgramPath();

// The user's entry: $XDG_DATA_HOME/applications/nerolin.desktop.
std::string UserDesktopEntryPath();

// Writes the user's entry for programPath and makes it the default handler.
// False when the path is empty or the entry or mimeapps.list cannot be
// written.
bool RegisterUrlScheme(const std::string& programPath);

// Removes the user's entry and its default-handler lines. False only when
// something present could not be removed; nothing to remove is success.
bool UnregisterUrlScheme();

struct RegistrationCheck {
    bool entryFound = false;            // false: no handler entry at all
    std::string entryPath;              // the entry the default handler resolves to
    std::vector<std::string> problems;  // event texts, in the order found
};

// Reads back the entry that the default handler of x-scheme-handler/yendo
// resolves to (the user's, or a system-wide one a package installed) and
// compares it with what RegisterUrlScheme writes for programPath:
//   no entry at all                 -> entryFound false, "can't read yendo key"
//   no [Desktop Entry] of type Application -> "bad value for yendo"
//   MimeType without the scheme     -> "bad value for yendo\URL Protocol"
//   no Exec line                    -> "can't read yendo\shell\open\command key"
//   Exec not this program and %u    -> "bad value for yendo\shell\open\command"
RegistrationCheck CheckRegistration(const std::string& programPath);

// The Exec value's arguments under the desktop-entry quoting rules.
std::vector<std::string> SplitExec(const std::string& exec);

}  // namespace nerolin
