// Entry point of the agent: everything it does is in Application.
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QCoreApplication>

#include "app/main/Application.h"
#include "app/main/ProgramInfo.h"
#include "app/ui/QtPrompts.h"
#include "common/ConsolePrompts.h"
#include "common/UserPrompts.h"
#include "platform/qt/QSettingsStore.h"

namespace {

bool Set(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    if (const auto status = nerolin::AnswerInfoRequest(argc, argv)) return *status;
    // Windows only where something can show them: an X or Wayland display,
    // or a Qt platform chosen on purpose (offscreen, say).
    const bool hasDisplay = Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
    std::unique_ptr<QCoreApplication> application;
    if (hasDisplay) {
        application = std::make_unique<QApplication>(argc, argv);
        nerolin::InstallDesktopPrompts();
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
        nerolin::SetUserPrompts(std::make_shared<nerolin::ConsolePrompts>());
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Tavorel"));
    QCoreApplication::setApplicationName(QStringLiteral("Nerolin"));
    nerolin::InstallQSettingsStore();

    nerolin::Application app(hasDisplay);
    return app.Run(nerolin::CommandLineArguments(argc, argv));
}
