#include "app/ui/ProgramIcon.h"

// The resources live in a static library: nothing would pull their
// registration into the program unless it is named here.
static void InitIconResources() { Q_INIT_RESOURCE(nerolin_icons); }

namespace nerolin {

QIcon ProgramIcon()
{
    static const bool registered = (InitIconResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/nerolin.png"));
}

}  // namespace nerolin
