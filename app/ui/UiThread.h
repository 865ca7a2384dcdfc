#pragma once

// Runs a piece of user-interface work on the thread that owns the widgets.
// Called on that thread it runs at once; called on another thread it is
// queued to the user-interface thread and the caller blocks until it has run.
// The user-interface thread never waits here, so a worker asking the user a
// question cannot deadlock the window it belongs to.

#include <optional>
#include <type_traits>
#include <utility>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include "platform/qt/ThreadHandoff.h"

namespace nerolin {

inline bool OnUiThread()
{
    auto* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

template <typename Function>
auto RunOnUiThread(Function&& function) -> std::invoke_result_t<Function>
{
    using Result = std::invoke_result_t<Function>;
    if (OnUiThread()) {
        return function();
    }
    // The hand-offs tell ThreadSanitizer what Qt's blocking call orders: the
    // call's work after all the caller did before it, the caller's return
    // after the work.
    if constexpr (std::is_void_v<Result>) {
        HandOff();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] {
                function();
                HandOff();
            },
            Qt::BlockingQueuedConnection);
        TakeOver();
    } else {
        std::optional<Result> result;
        HandOff();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] {
                result.emplace(function());
                HandOff();
            },
            Qt::BlockingQueuedConnection);
        TakeOver();
        return std::move(*result);
    }
}

}  // namespace nerolin
