#include "app/ui/FirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace nerolin {

namespace {

class FirstPaintFilter : public QObject {
public:
    FirstPaintFilter(QWidget& window, std::function<void()> then) : QObject(&window), then_(std::move(then)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && then_) {
            // Queued: the repaint that sent this event paints the children
            // and flushes the frame before the event loop runs again.
            QTimer::singleShot(0, watched, std::move(then_));
            then_ = nullptr;
            watched->removeEventFilter(this);
        }
        return false;
    }

private:
    std::function<void()> then_;
};

}  // namespace

void AfterFirstPaint(QWidget& window, std::function<void()> then)
{
    window.installEventFilter(new FirstPaintFilter(window, std::move(then)));
}

}  // namespace nerolin
