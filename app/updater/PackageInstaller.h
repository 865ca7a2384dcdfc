#pragma once

// Handing a downloaded update to the system. Each system has its own kind of
// package and installer: on Linux a Debian package, whose Version field
// dpkg-deb reads, opened with xdg-open; on Windows an MSI, whose
// ProductVersion the Windows Installer reads, installed by msiexec.

#include <chrono>
#include <optional>
#include <string>

namespace nerolin {

// The sparkle:os of the feed items meant for this system ("linux",
// "windows"); an item for another system is no update here.
extern const char kUpdateSystem[];

// The package's own version; nullopt when the file is no package of this
// system's kind or the tool that reads it is not there.
std::optional<std::string> PackageVersion(const std::string& path);

// Hands the package over; false when the system cannot take it.
// Linux: xdg-open, whose outcome is waited for: a failure (3: no program for
// the file, 4: the program failed) is false; some desktops' xdg-open waits for
// the installer it started, and one still running after the bound has found
// it. Windows: the package replaces this program's own files, which stay in
// use while it runs, so msiexec is started by StartHandedOverInstaller when
// the updater ends with the program; true when msiexec is there.
bool HandToInstaller(const std::string& path, std::chrono::milliseconds bound = std::chrono::seconds(10));

// Called once the updater has ended (the program's exit): starts what
// HandToInstaller left for then (Windows), else does nothing.
void StartHandedOverInstaller();

}  // namespace nerolin
