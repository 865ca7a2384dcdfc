#include "platform/qt/ThreadHandoff.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#if defined(__SANITIZE_THREAD__)
#define NEROLIN_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NEROLIN_THREAD_SANITIZER 1
#endif
#endif

#ifdef NEROLIN_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace nerolin {
namespace {

#ifdef NEROLIN_THREAD_SANITIZER
// One synchronisation point for all hand-offs: a receiver takes over what
// every poster did before its last post, which is never less than Qt's queue
// guarantees.
char token;

class QueuedCallFilter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall) TakeOver();
        return false;
    }
};
#endif

}  // namespace

void HandOff()
{
#ifdef NEROLIN_THREAD_SANITIZER
    __tsan_release(&token);
#endif
}

void TakeOver()
{
#ifdef NEROLIN_THREAD_SANITIZER
    __tsan_acquire(&token);
#endif
}

void TakeOverQueuedCalls([[maybe_unused]] QCoreApplication& application)
{
#ifdef NEROLIN_THREAD_SANITIZER
    application.installEventFilter(new QueuedCallFilter(&application));
#endif
}

}  // namespace nerolin
