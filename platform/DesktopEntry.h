#pragma once

// The "yendo:" URL scheme on a freedesktop desktop: a desktop entry
// $XDG_DATA_HOME/applications/nerolin.desktop whose MimeType lists
// x-scheme-handler/yendo and whose Exec line is the program's quoted path
// and %u, made the default handler in the user's mimeapps.list, with the
// desktop database of that folder brought up to date.

#include <string>
#include <vector>

#include "platform/UrlScheme.h"

namespace nerolin {

inline constexpr char kDesktopEntryName[] = "nerolin.desktop";
inline constexpr char kSchemeMimeType[] = "x-scheme-handler/yendo";

// The user's entry: $XDG_DATA_HOME/applications/nerolin.desktop.
std::string UserDesktopEntryPath();

// On Linux, CheckRegistration (UrlScheme.h) reads back the entry that the
// default handler of x-scheme-handler/yendo resolves to (the user's, or a
// system-wide one a package installed) and compares it with what
// RegisterUrlScheme writes for programPath:
//   no entry at all                 -> entryFound false, "can't read yendo key"
//   no [Desktop Entry] of type Application -> "bad value for yendo"
//   MimeType without the scheme     -> "bad value for yendo\URL Protocol"
//   no Exec line                    -> "can't read yendo\shell\open\command key"
//   Exec not this program and %u    -> "bad value for yendo\shell\open\command"

// The Exec value's arguments under the desktop-entry quoting rules.
std::vector<std::string> SplitExec(const std::string& exec);

}  // namespace nerolin
