#pragma once

// Qt's own texts (the file dialog, a text field's Copy and Select All) in
// the language of the string table, from the Qt translations the system has
// (Debian's qt6-translations-l10n); English when it has none.

class QCoreApplication;

namespace nerolin {

// Installs the translations on the application; true when some were found.
bool InstallQtTranslations(QCoreApplication& application);

// Dates and numbers written the way the windows' language writes them: the
// system's locale where it speaks that language (keeping its country's
// conventions), the language's own otherwise (for English the C locale's),
// so a Hungarian window on an English locale does not show "1 Jan 2024".
void FollowLanguageInFormats();

}  // namespace nerolin
