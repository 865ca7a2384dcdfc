#include "app/main/DisplayCheck.h"

#include <cstdlib>

namespace nerolin {

// No X connection is ever held on Windows.
void XConnectionCloser::operator()(xcb_connection_t*) const {}

std::optional<ReachedDisplay> ReachDisplay()
{
    // The user's desktop is there for every process of the user's session;
    // another platform (offscreen, minimal) is chosen on purpose, as Qt
    // reads it.
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    ReachedDisplay reached;
    reached.platform = chosen != nullptr && *chosen != '\0' ? chosen : "windows";
    return reached;
}

}  // namespace nerolin
