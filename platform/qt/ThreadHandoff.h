#pragma once

// Qt's event queue orders what a thread did before it posts a call (a queued
// signal, invokeMethod) before what the call does on the receiving thread.
// ThreadSanitizer cannot see that order: Qt takes its queue's lock inside
// its own libraries, which are not built with the sanitizer, so every value
// a worker hands to the window would look raced. These calls tell it. In a
// build without ThreadSanitizer they do nothing and install nothing.

class QCoreApplication;

namespace nerolin {

// On the posting thread, right before the post.
void HandOff();
// On the receiving thread, before it uses what was handed over. For calls
// that reach the user-interface thread through its event queue, the filter
// below does it.
void TakeOver();

// Makes every queued call that the application's thread receives begin
// with TakeOver. Once, after the application object is made.
void TakeOverQueuedCalls(QCoreApplication& application);

}  // namespace nerolin
