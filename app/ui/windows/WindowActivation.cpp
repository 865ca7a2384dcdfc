#include "app/ui/WindowActivation.h"

#include <windows.h>

#include <QApplication>
#include <QWidget>

namespace nerolin {

RaiseRequest ActivationOfThisStart()
{
    // Windows lets only the foreground process, the one the user just
    // started, bring a window forward; this start hands that right on to
    // the process whose window shows the session.
    AllowSetForegroundWindow(ASFW_ANY);
    return {};
}

QWidget* RaiseForUser(QWidget* mainWindow, const RaiseRequest&)
{
    if (!mainWindow->isVisible()) mainWindow->show();
    if (mainWindow->isMinimized()) mainWindow->showNormal();
    // The dialog the user must answer, when one is open.
    QWidget* target = QApplication::activeModalWidget();
    if (target == nullptr) target = mainWindow;
    target = target->window();
    target->raise();
    target->activateWindow();
    SetForegroundWindow(reinterpret_cast<HWND>(target->winId()));
    return target;
}

}  // namespace nerolin
