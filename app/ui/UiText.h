#pragma once

// Texts of the string table as Qt strings, for the widgets of app/.

#include <QString>

#include "common/StringTable.h"

namespace nerolin {

inline QString UiText(int id) { return QString::fromStdString(LoadString(id)); }

inline QString ToQString(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace nerolin
