#include "app/main/DisplayCheck.h"

#include <windows.h>

#include <cstdlib>

namespace nerolin {
namespace {

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

// No X connection is ever held on Windows.
void XConnectionCloser::operator()(xcb_connection_t*) const {}

std::optional<ReachedDisplay> ReachDisplay()
{
    // The user's desktop is there for every process of the user's session;
    // another platform (offscreen, minimal) is chosen on purpose, as Qt
    // reads it.
    ReachedDisplay reached;
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (chosen != nullptr && *chosen != '\0') {
        reached.platform = chosen;
    } else if (UnderWine()) {
        // Under Wine, Qt's DirectWrite font engine draws no text at all in
        // line edits (the session identifier, the service provider); its
        // FreeType engine does. Wine also keeps QT_QPA_PLATFORM from
        // Windows programs, so it cannot be chosen from outside.
        reached.platform = "windows:fontengine=freetype";
    } else {
        reached.platform = "windows";
    }
    return reached;
}

}  // namespace nerolin
