#include "platform/UserFolders.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "platform/windows/WideText.h"

namespace nerolin {

std::string UserStateFolder()
{
    PWSTR folder = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &folder);
    const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owner(folder, CoTaskMemFree);
    if (FAILED(result) || folder == nullptr) return {};
    try {
        std::string path = Utf8Text(folder);
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    } catch (const std::range_error&) {
        return {};
    }
}

}  // namespace nerolin
