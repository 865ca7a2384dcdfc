#include "app/ui/WindowPlacement.h"

#include <algorithm>
#include <chrono>
#include <string>

#include <QScreen>
#include <QStyle>
#include <QWidget>

#include "platform/FileLock.h"
#include "platform/qt/SessionChannel.h"

namespace nerolin {
namespace {

// More open sessions than this share the last place.
constexpr int kPlaces = 12;

}  // namespace

WindowPlace::WindowPlace()
{
    const std::string socket = SessionChannel::SocketPath("window-place");
    const auto slash = socket.rfind('/');
    if (slash == std::string::npos) {
        return;
    }
    const std::string prefix = socket.substr(0, slash) + "/nerolin-window-place-";
    for (int index = 0; index < kPlaces; ++index) {
        auto lock = std::make_unique<FileLock>(prefix + std::to_string(index), std::chrono::milliseconds(0));
        if (lock->locked()) {
            lock_ = std::move(lock);
            index_ = index;
            return;
        }
    }
    index_ = kPlaces - 1;
}

WindowPlace::~WindowPlace() = default;

void WindowPlace::Apply(QWidget& window) const
{
    if (index_ == 0) {
        return;
    }
    // One step shows the title bar and the top edge of the window below.
    const int titleBar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    const int step = titleBar + window.fontMetrics().height();
    const int shift = step * index_;
    QPoint target = window.pos() + QPoint(shift, shift);
    if (const QScreen* screen = window.screen()) {
        // Down and right while that stays on the screen, else up and left:
        // a first window at the screen's edge is not covered either.
        const QRect room = screen->availableGeometry();
        const QSize frame = window.frameGeometry().size();
        const auto place = [](int start, int shift, int low, int high) {
            const int forward = start + shift;
            const int position = forward <= high ? forward : start - shift;
            return std::max(low, std::min(position, high));
        };
        target.setX(place(window.pos().x(), shift, room.left(), room.right() + 1 - frame.width()));
        target.setY(place(window.pos().y(), shift, room.top(), room.bottom() + 1 - frame.height()));
    }
    window.move(target);
}

}  // namespace nerolin
