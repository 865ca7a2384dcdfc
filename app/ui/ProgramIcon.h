#pragma once

#include <QIcon>

namespace nerolin {

// The program's icon, for the main window and the About box.
QIcon ProgramIcon();

}  // namespace nerolin
