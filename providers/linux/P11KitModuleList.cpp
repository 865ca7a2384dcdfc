#include "providers/linux/P11KitModuleList.h"

#include <p11-kit/p11-kit.h>

#include <cstdlib>

namespace nerolin {
namespace {

std::string Owned(char* text)
{
    std::string copy = text ? text : "";
    std::free(text);
    return copy;
}

}  // namespace

std::vector<P11KitModule> P11KitModules()
{
    std::vector<P11KitModule> found;
    // Unmanaged: p11-kit only loads each library and asks for its function
    // list; nothing is initialized, so no module starts talking to a card.
    CK_FUNCTION_LIST** modules = p11_kit_modules_load(nullptr, P11_KIT_MODULE_UNMANAGED);
    if (!modules) return found;
    for (CK_FUNCTION_LIST** module = modules; *module; ++module)
        found.push_back({Owned(p11_kit_module_get_name(*module)), Owned(p11_kit_module_get_filename(*module))});
    p11_kit_modules_release(modules);
    return found;
}

}  // namespace nerolin
