#pragma once

// Qt's own texts (the file dialog, a text field's Copy and Select All) in
// the language of the string table, from the Qt translations the system has
// (Debian's qt6-translations-l10n); English when it has none.

class QCoreApplication;

namespace nerolin {

// Installs the translations on the application; true when some were found.
bool InstallQtTranslations(QCoreApplication& application);

}  // namespace nerolin
