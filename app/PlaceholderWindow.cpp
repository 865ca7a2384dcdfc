#include "app/PlaceholderWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace nerolin {

PlaceholderWindow::PlaceholderWindow(const std::string& sessionId, QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Nerolin"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromStdString(sessionId), this);
    label->setObjectName(QStringLiteral("sessionId"));  // control 1010 of the main window
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    resize(360, 120);
}

void PlaceholderWindow::ShowAndRaise()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

}  // namespace nerolin
