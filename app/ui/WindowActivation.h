#pragma once

// Bringing the session's window forward for a second start of the same
// session. Desktops refuse to let a program take the focus on its own
// (focus-stealing prevention); they allow it for a request that carries
// proof of the user's action: on Wayland the activation token the launcher
// gave the second start (XDG_ACTIVATION_TOKEN), on X11 the time of the
// action (from DESKTOP_STARTUP_ID, else the X server's time at the second
// start) in a _NET_ACTIVE_WINDOW request.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/qt/SessionChannel.h"

class QWidget;

namespace nerolin {

// In the second start: what it can hand to the window's process.
RaiseRequest ActivationOfThisStart();

// The time in a startup notification id ("..._TIME<n>"), if it has one.
std::optional<std::uint32_t> StartupIdTime(const std::string& startupId);

// In the window's process: the window the user must answer, the session's
// top-most modal dialog (certificate choice, PIN, a message box), else
// mainWindow, restored, raised and activated with the request. Returns it.
QWidget* RaiseForUser(QWidget* mainWindow, const RaiseRequest& request);

}  // namespace nerolin
