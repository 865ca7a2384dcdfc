#include "platform/qt/ChannelPlace.h"

#include <windows.h>

#include "platform/windows/WideText.h"

namespace nerolin {

ChannelPlace ChannelPlaceOf(const std::string& digestHex)
{
    ChannelPlace place;
    // The pipe's name is the machine's: another user's process with the same
    // session finds a pipe it may not open and shows its own window.
    place.listenName = "nerolin-" + digestHex;
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) {
        place.listenName.clear();
        place.refusal = "the user's temporary folder cannot be read";
        return place;
    }
    place.lockPath = Utf8Text(std::wstring_view(temporary, length)) + "nerolin-" + digestHex + ".lock";
    return place;
}

}  // namespace nerolin
