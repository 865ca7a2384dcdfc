#pragma once

// The small icon of a document row, from its name only.

#include <QIcon>
#include <QString>

namespace nerolin {

// The icon theme's icon for the MIME type the name's extension gives, else
// the generic icon of its kind; a null icon when the theme has neither. The
// document itself is never looked at: it is not on this computer.
QIcon DocumentIcon(const QString& name);

}  // namespace nerolin
