#pragma once

// The update check that follows a finished session. In the closing form the
// window closes once the check has ended (no update found, the user declined,
// or the program shuts down for the installation); in the staying form the
// window stays open. Until the updater is built in, the check finds no
// update at once.

#include <functional>

#include <QObject>

namespace nerolin {

void StartUpdateCheckOnEnd(QObject* window, bool closing, std::function<void()> closeWindow);

}  // namespace nerolin
