#pragma once

// Answers the next modal dialog of a kind the way a user would, while the
// code under test waits in the dialog's event loop (or a worker waits on it),
// and presses keys as a user does.

#include <chrono>
#include <functional>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace nerolin::test {

// Polls for a visible modal dialog of type Dialog and runs action on it once.
template <typename Dialog>
void AnswerNextDialog(std::function<void(Dialog*)> action)
{
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(dialog);
    });
    timer->start();
}

// Runs the event loop until condition holds or a generous bound passes.
inline bool ProcessEventsUntil(const std::function<bool()>& condition,
                               std::chrono::milliseconds bound = std::chrono::seconds(30))
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > bound.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Makes window the active window, so that key presses reach its focus.
inline bool Activate(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// One key press as the user's would arrive: at the widget that has the
// keyboard focus, passed on to its parents when it ignores the key.
inline void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr) {
        QTest::keyClick(focus, key, modifiers);
    }
}

}  // namespace nerolin::test
