#include "app/ui/ProgressBar.h"

#include <algorithm>

#include <QEvent>

namespace nerolin {

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
    Show();
}

void ProgressBar::SetBusy(bool busy)
{
    busy_ = busy;
    Show();
}

void ProgressBar::SetSteps(int count)
{
    steps_ = count;
    position_ = std::min(position_, std::max(count, 0));
    Show();
}

void ProgressBar::SetPosition(int position)
{
    position_ = position;
    Show();
}

void ProgressBar::Show()
{
    if (busy_) {
        setRange(0, 0);  // Qt's busy indicator
        return;
    }
    // An empty range would also read as busy: show it as an empty bar.
    if (steps_ <= 0) {
        setRange(0, 1);
        setValue(0);
    } else {
        setRange(0, steps_);
        setValue(std::clamp(position_, 0, steps_));
    }
}

bool ProgressBar::event(QEvent* event)
{
    // The style animates the busy indicator and may keep its animation after
    // the bar has left the busy state (Qt 6.4's Fusion stops it only when it
    // paints some progress, never for an empty bar), repainting the window
    // sixty times a second. An animation whose update is refused stops.
    if (event->type() == QEvent::StyleAnimationUpdate && !busy_) {
        event->ignore();
        return true;
    }
    return QProgressBar::event(event);
}

}  // namespace nerolin
