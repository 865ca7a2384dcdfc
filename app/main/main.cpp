// Entry point of the agent: everything it does is in Application.
#include <clocale>
#include <memory>

#include <QCoreApplication>
#include <QString>

#include "app/main/Application.h"
#include "app/main/OnDemandPrompts.h"
#include "app/main/ProgramInfo.h"
#include "app/main/QtInstance.h"
#include "common/UserPrompts.h"
#include "platform/ProcessHardening.h"
#include "platform/qt/ProgramSettings.h"

int main(int argc, char** argv)
{
    nerolin::DisableCoreDumps();
    if (const auto status = nerolin::AnswerInfoRequest(argc, argv)) return *status;
    // A Qt application object would take the user's locale; a run without
    // one (a flag, a TEST link) needs it as much, for its texts and
    // conversions.
    std::setlocale(LC_ALL, "");
    QCoreApplication::setOrganizationName(QStringLiteral("Tavorel"));
    QCoreApplication::setApplicationName(QStringLiteral("Nerolin"));
    nerolin::InstallProgramSettingsStore();

    nerolin::QtInstance qt(argc > 0 ? argv[0] : "nerolin");
    nerolin::SetUserPrompts(std::make_shared<nerolin::OnDemandPrompts>(qt));
    int status = 1;
    {
        nerolin::Application app([&qt] { return qt.OpenDisplay(); });
        status = app.Run(nerolin::CommandLineArguments(argc, argv));
    }
    // The prompts refer to Qt's application, which ends with this scope.
    nerolin::SetUserPrompts(nullptr);
    return status;
}
