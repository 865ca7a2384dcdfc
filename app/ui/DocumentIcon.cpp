#include "app/ui/DocumentIcon.h"

#include <QDir>
#include <QMimeDatabase>
#include <QStandardPaths>

namespace nerolin {
namespace {

// Outside a desktop session (Xvfb, the offscreen platform) Qt has no icon
// theme and looks for themes only in its resources. The installed themes of
// the XDG data folders then serve, Adwaita first.
void ChooseIconTheme()
{
    // "hicolor" is only the base every theme inherits: it has no MIME icons.
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor")) {
        return;
    }
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        paths << QDir(data).filePath(QStringLiteral("icons"));
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

}  // namespace

QIcon DocumentIcon(const QString& name)
{
    static const bool themeChosen = (ChooseIconTheme(), true);
    (void)themeChosen;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(type.genericIconName());
    }
    return icon;
}

}  // namespace nerolin
