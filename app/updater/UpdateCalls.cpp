#include "app/updater/UpdateCalls.h"

#include <mutex>

#include <QMetaObject>
#include <QObject>

#include "app/updater/UpdateLibrary.h"
#include "platform/qt/ThreadHandoff.h"
#include "platform/Settings.h"

namespace nerolin {
namespace {

struct MainWindowCloser {
    std::mutex mutex;
    QObject* window = nullptr;
    std::function<void()> close;
};

MainWindowCloser& Closer()
{
    static MainWindowCloser closer;
    return closer;
}

}  // namespace

void ConfigureUpdates()
{
    UpdateLibrary& updates = Updates();
    updates.SetRegistryPath(kUpdateRegistryPath);
    updates.SetAppcastUrl(AppcastUrl());
}

void CheckForUpdatesWithUi()
{
    UpdateLibrary& updates = Updates();
    updates.SetShutdownRequestCallback(CloseMainWindow);
    updates.CheckUpdateWithUi();
}

void CheckForUpdatesOnEnd(bool closing)
{
    // A last check time of "1" lies far in the past, so the updater does
    // not think it has just checked.
    WriteUserText(setting::kUpdateGroup, setting::kLastCheckTime, "1");
    UpdateLibrary& updates = Updates();
    updates.SetAutomaticCheckForUpdates(1);
    if (closing) {
        updates.SetDidNotFindUpdateCallback(CloseMainWindow);
        updates.SetUpdateCancelledCallback(CloseMainWindow);
    }
    updates.SetShutdownRequestCallback(CloseMainWindow);
    updates.CheckUpdateWithoutUi();
}

void CleanupUpdates() { Updates().Cleanup(); }

void CloseMainWindow()
{
    MainWindowCloser& closer = Closer();
    std::lock_guard lock(closer.mutex);
    if (closer.window == nullptr || !closer.close) {
        return;
    }
    // Queued even on the window's own thread: the updater may call back from
    // within a call the window is still making.
    HandOff();
    QMetaObject::invokeMethod(closer.window, closer.close, Qt::QueuedConnection);
}

void SetMainWindowCloser(QObject* window, std::function<void()> close)
{
    MainWindowCloser& closer = Closer();
    std::lock_guard lock(closer.mutex);
    closer.window = window;
    closer.close = std::move(close);
}

void ClearMainWindowCloser(QObject* window)
{
    MainWindowCloser& closer = Closer();
    std::lock_guard lock(closer.mutex);
    if (closer.window == window) {
        closer.window = nullptr;
        closer.close = nullptr;
    }
}

}  // namespace nerolin
