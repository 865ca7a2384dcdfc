#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <link.h>

#include <cerrno>
#include <cstdio>

namespace nerolin {

bool DynamicLibrary::Open(const std::string& file, LoadFailure& failure)
{
    Close();
    errno = 0;
    dlerror();
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_) return true;
    failure.code = static_cast<std::uint32_t>(errno);
    const char* text = dlerror();
    failure.text = text ? text : "";
    return false;
}

bool DynamicLibrary::Close()
{
    if (handle_ && dlclose(handle_) == 0) handle_ = nullptr;
    return handle_ == nullptr;
}

void* DynamicLibrary::Address(const char* name, LoadFailure& failure) const
{
    if (!handle_) return nullptr;
    dlerror();
    void* address = dlsym(handle_, name);
    if (address) return address;
    const char* text = dlerror();
    // dlsym has no error number; 127 is Windows' "procedure not found",
    // which the entries of a missing entry point carry on every system.
    failure.code = 127;
    failure.text = text ? text : "";
    return nullptr;
}

std::string DynamicLibrary::Path() const
{
    link_map* map = nullptr;
    if (handle_ && dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) return map->l_name;
    return {};
}

std::string OpenFailureEntry(const LoadFailure& failure)
{
    char number[48];
    std::snprintf(number, sizeof number, " error: %d (0x%08X)", static_cast<std::int32_t>(failure.code), failure.code);
    return std::string("dlopen") + number + ": " + failure.text;
}

}  // namespace nerolin
