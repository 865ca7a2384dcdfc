#pragma once

// A minimal stand-in for the main window: titled "Nerolin" and showing the
// session identifier, so that the start-up path, the session channel and
// the exit of the process can be used before the real window exists.

#include <QWidget>

#include <string>

class QLabel;

namespace nerolin {

class PlaceholderWindow : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderWindow(const std::string& sessionId, QWidget* parent = nullptr);

    // Shows the window, restores it when minimised and brings it forward.
    void ShowAndRaise();
};

}  // namespace nerolin
