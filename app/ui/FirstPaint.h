#pragma once

// Start-up is over for the user when the window's first frame is on the
// screen, not when Qt sends the show event (which comes before anything is
// painted). This calls back once the first paint of a window is done: the
// callback is queued from the window's first paint event and so runs after
// the whole frame, children included, has been painted and handed to the
// platform. For the start-up benchmark.

#include <functional>

class QWidget;

namespace nerolin {

void AfterFirstPaint(QWidget& window, std::function<void()> then);

}  // namespace nerolin
