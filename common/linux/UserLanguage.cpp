#include <cstdlib>
#include <string_view>

#include "common/StringTable.h"

namespace nerolin {
namespace {

// The first entry of a colon-separated LANGUAGE list that is not empty.
std::string_view FirstListedLanguage(std::string_view list)
{
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        const std::string_view item = list.substr(0, colon);
        if (!item.empty()) return item;
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return {};
}

}  // namespace

Language UserInterfaceLanguage()
{
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr) continue;
        const std::string_view language = FirstListedLanguage(value);
        if (language.empty()) continue;
        return language.starts_with("hu") ? Language::Hungarian : Language::English;
    }
    return Language::English;
}

}  // namespace nerolin
