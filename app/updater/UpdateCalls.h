#pragma once

// How the program drives the updater: its configuration at start-up, the
// menu's "Update...", the check at the end of a session and the release at
// exit, each in a fixed order of calls; and CloseMainWindow, the callback
// through which the updater closes the main window.

#include <functional>

class QObject;

namespace nerolin {

inline constexpr char kUpdateRegistryPath[] = "Software\\Tavorel\\Nerolin\\WinSparkle";

// Start-up, before the main window is made (only in runs that show it).
void ConfigureUpdates();
// The menu command "Update...".
void CheckForUpdatesWithUi();
// After a finished session unless "SkipUpdateCheckOnEnd" forbids it. The
// closing form lets "no update", "declined" and "shut down for the
// installation" each close the window; the staying form only the last.
void CheckForUpdatesOnEnd(bool closing);
// Exit of every run.
void CleanupUpdates();

// Closes the main window with the result "cancelled", without the Cancel
// rules. Safe from any thread: the close runs on the window's thread. The
// window decides when it may close (not while a thread uses the session).
void CloseMainWindow();

// The main window says how it closes, and withdraws that before it goes.
void SetMainWindowCloser(QObject* window, std::function<void()> close);
void ClearMainWindowCloser(QObject* window);

}  // namespace nerolin
