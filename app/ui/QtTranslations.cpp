#include "app/ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "common/StringTable.h"

namespace nerolin {

bool InstallQtTranslations(QCoreApplication& application)
{
    if (UserInterfaceLanguage() != Language::Hungarian) {
        return false;  // Qt's texts are English already
    }
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // Owned by the application, which keeps it installed for its life.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_hu"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

void FollowLanguageInFormats()
{
    const QLocale system = QLocale::system();
    if (UserInterfaceLanguage() == Language::Hungarian) {
        QLocale::setDefault(system.language() == QLocale::Hungarian ? system : QLocale(QLocale::Hungarian));
        return;
    }
    // English on a locale of another language: the C locale's "1 Jan 2024",
    // which no reader takes for another day, rather than the US "1/2/24".
    const bool english = system.language() == QLocale::English || system.language() == QLocale::C;
    QLocale::setDefault(english ? system : QLocale::c());
}

}  // namespace nerolin
