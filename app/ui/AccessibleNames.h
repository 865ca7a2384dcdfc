#pragma once

// What assistive technology cannot read from the screen by itself: which
// caption a value belongs to, and what an image shows.

#include <QString>

class QLabel;
class QWidget;

namespace nerolin {

enum class IconMeaning { Error, Warning, Information, Done };

// Ties the caption of every row of the window's form layouts to its value
// (the caption becomes the value's label for assistive technology).
void TieCaptionsToValues(QWidget& window);

// The image's meaning as its accessible name.
void NameIcon(QLabel& icon, IconMeaning meaning);

// A caption of the string table as a name: without its mnemonic marker and
// its closing colon.
QString NameFromCaption(int id);

}  // namespace nerolin
