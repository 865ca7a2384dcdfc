#pragma once

// Which Qt platform can show this run's windows, found out without Qt: a
// QGuiApplication whose platform cannot open its display aborts the
// process, so the display is tried first, the way Qt's plugin would open it.

#include <memory>
#include <optional>
#include <string>

struct xcb_connection_t;

namespace nerolin {

struct XConnectionCloser {
    void operator()(xcb_connection_t* connection) const;
};

struct ReachedDisplay {
    // The platform to start Qt with ("xcb", "wayland", or what
    // QT_QPA_PLATFORM names, arguments included).
    std::string platform;
    // The connection that tried an X display, to be closed only once Qt has
    // its own: an X server whose last client leaves resets itself and
    // refuses connections meanwhile.
    std::unique_ptr<xcb_connection_t, XConnectionCloser> heldConnection;
};

// The display this run's windows can use, or nullopt when none can be
// reached.
//
// QT_QPA_PLATFORM, when set, is a list of candidates separated by ';', as
// Qt reads it; otherwise the candidates are Qt's own choice for the session
// (Wayland when XDG_SESSION_TYPE says so, outside GNOME), then X11, then
// Wayland. An X11 candidate counts when a connection to $DISPLAY opens
// (authorisation included); a Wayland candidate when the compositor's socket
// accepts a connection and Qt's Wayland plugin is installed; any other
// platform (offscreen, vnc, eglfs, ...) was chosen on purpose and counts.
std::optional<ReachedDisplay> ReachDisplay();

}  // namespace nerolin
