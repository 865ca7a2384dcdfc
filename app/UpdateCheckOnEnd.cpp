#include "app/UpdateCheckOnEnd.h"

#include <QTimer>

namespace nerolin {

void StartUpdateCheckOnEnd(QObject* window, bool closing, std::function<void()> closeWindow)
{
    if (!closing) {
        return;
    }
    // "No update found" arrives as a callback, never within the call.
    QTimer::singleShot(0, window, std::move(closeWindow));
}

}  // namespace nerolin
