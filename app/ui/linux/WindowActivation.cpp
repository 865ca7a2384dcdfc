#include "app/ui/WindowActivation.h"

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

namespace nerolin {
namespace {

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

// A connection of its own: Qt's event thread reads every event of Qt's, so a
// reply the code waits for would never arrive there.
XcbConnection ConnectToX(xcb_screen_t*& screen)
{
    XcbConnection connection(xcb_connect(nullptr, nullptr));
    if (!connection || xcb_connection_has_error(connection.get()) != 0) return nullptr;
    screen = xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data;
    return screen != nullptr ? std::move(connection) : nullptr;
}

// The X server's time now: a property change on a window of our own reports
// it. Bounded, so a server that never answers cannot hold the start.
std::uint32_t ServerTimeNow()
{
    xcb_screen_t* screen = nullptr;
    XcbConnection connection = ConnectToX(screen);
    if (!connection) return 0;
    xcb_connection_t* c = connection.get();
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(c);
    std::uint32_t time = 0;
    pollfd readable{xcb_get_file_descriptor(c), POLLIN, 0};
    for (int waits = 0; time == 0 && waits < 20;) {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (event == nullptr) {
            if (xcb_connection_has_error(c) != 0 || poll(&readable, 1, 100) < 0) break;
            ++waits;
            continue;
        }
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        }
        std::free(event);
    }
    xcb_destroy_window(c, window);
    xcb_flush(c);
    return time;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t atom = XCB_ATOM_NONE;
    if (reply != nullptr) atom = reply->atom;
    std::free(reply);
    return atom;
}

// EWMH's request to activate a window, as an application (source 1) with
// the user's time: the window manager decides against its focus rules.
void AskWindowManagerToActivate(xcb_window_t window, std::uint32_t time)
{
    xcb_screen_t* screen = nullptr;
    XcbConnection connection = ConnectToX(screen);
    if (!connection) return;
    xcb_connection_t* c = connection.get();
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = Atom(c, "_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 1;
    message.data.data32[1] = time;
    message.data.data32[2] = XCB_NONE;
    xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

}  // namespace

RaiseRequest ActivationOfThisStart()
{
    RaiseRequest request;
    if (const char* token = std::getenv("XDG_ACTIVATION_TOKEN")) request.activationToken = token;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr && OnX11()) {
        const char* startupId = std::getenv("DESKTOP_STARTUP_ID");
        const auto launched = startupId != nullptr ? StartupIdTime(startupId) : std::nullopt;
        request.userTime = launched ? *launched : ServerTimeNow();
    }
    return request;
}

QWidget* RaiseForUser(QWidget* mainWindow, const RaiseRequest& request)
{
    if (mainWindow->isMinimized()) {
        mainWindow->showNormal();
    }
    QWidget* target = QApplication::activeModalWidget();
    if (target == nullptr) {
        target = mainWindow;
    }
    target = target->window();
    target->raise();
    if (OnX11() && request.userTime != 0) {
        AskWindowManagerToActivate(static_cast<xcb_window_t>(target->winId()), request.userTime);
        return target;
    }
    // Qt's Wayland platform takes the token from the environment when it
    // asks the compositor to activate the window.
    if (!request.activationToken.empty()) {
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(request.activationToken));
    }
    target->activateWindow();
    return target;
}

}  // namespace nerolin
