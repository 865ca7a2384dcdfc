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

}  // namespace nerolin
