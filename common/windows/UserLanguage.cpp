#include <windows.h>

#include "common/StringTable.h"

namespace nerolin {

Language UserInterfaceLanguage()
{
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_HUNGARIAN ? Language::Hungarian : Language::English;
}

}  // namespace nerolin
