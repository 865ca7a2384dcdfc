#pragma once

// The main window's private messages. Threads never touch widgets: they post
// one of these as an event to the window, which handles it on the
// user-interface thread. Posting is safe from any thread.

#include <cstdint>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace nerolin {

enum WindowMessage : int {
    UM_START_LAUNCH = 1025,     // start the launch thread
    UM_LAUNCH_PROGRESS = 1026,  // wParam 2 marquee on, 3 marquee off, 1 done (lParam 1: configuration fetched)
    UM_WORKER_REPORT = 1027,    // wParam: SigningReporter slot 1..6, lParam: its argument
    UM_START_SIGNING = 1028,    // start the signing worker
};

// wParam values of UM_LAUNCH_PROGRESS.
enum LaunchProgress : std::intptr_t {
    kLaunchDone = 1,
    kLaunchStepBegins = 2,
    kLaunchStepEnded = 3,
};

class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(int message, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(Type()),
          message(message),
          wParam(wParam),
          lParam(lParam)
    {
    }

    static QEvent::Type Type()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    const int message;
    const std::intptr_t wParam;
    const std::intptr_t lParam;
};

inline void PostWindowMessage(QObject* window, int message, std::intptr_t wParam = 0, std::intptr_t lParam = 0)
{
    if (window != nullptr) {
        QCoreApplication::postEvent(window, new WindowMessageEvent(message, wParam, lParam));
    }
}

}  // namespace nerolin
