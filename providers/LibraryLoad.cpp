#include "providers/LibraryLoad.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <dlfcn.h>

#include "eventlog/EventLog.h"

namespace nerolin {

void* OpenLibrary(const std::string& file, LoadFailure& failure)
{
    errno = 0;
    dlerror();
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) return handle;
    failure.code = errno;
    const char* text = dlerror();
    failure.text = text ? text : "";
    return nullptr;
}

void WriteLoadFailure(const LoadFailure& failure)
{
    char number[48];
    std::snprintf(number, sizeof number, " error: %d (0x%08X): ", failure.code,
                  static_cast<std::uint32_t>(failure.code));
    WriteEventEntry(EntryType::Error, "dlopen" + std::string(number) + failure.text);
}

}  // namespace nerolin
