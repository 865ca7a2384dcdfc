#pragma once

// Handing a downloaded update to the system: its own version, read from the
// package (a Debian package's Version field, by dpkg-deb), and the hand-over
// to the desktop's installer (xdg-open), whose outcome is waited for.

#include <chrono>
#include <optional>
#include <string>

namespace nerolin {

// The Version field of a Debian package; nullopt when the file is no Debian
// package or dpkg-deb is not there (a system without dpkg installs no .deb).
std::optional<std::string> DebianPackageVersion(const std::string& path);

// Opens the package with xdg-open. False when it could not start or ended
// with a failure (3: no program for the file, 4: the program failed). Some
// desktops' xdg-open waits for the installer it started: one still running
// after the bound has found it, and is left to run.
bool HandToInstaller(const std::string& path, std::chrono::milliseconds bound = std::chrono::seconds(10));

}  // namespace nerolin
