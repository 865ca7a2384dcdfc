#include "providers/linux/NssModules.h"

#include <unistd.h>

#include <memory>

#include <pk11pub.h>
#include <secmod.h>
// NSS's argument parser has no C++ linkage marks of its own.
extern "C" {
#include <utilpars.h>
}

#include "eventlog/EventLog.h"
#include "platform/DynamicLibrary.h"
#include "providers/linux/NssErrors.h"
#include "providers/linux/NssTokens.h"

namespace nerolin {
namespace {

struct PortFree {
    void operator()(char* text) const { PORT_Free(text); }
};
using PortText = std::unique_ptr<char, PortFree>;

std::string Parameter(const char* name, const char* spec)
{
    PortText value(NSSUTIL_ArgGetParamValue(name, spec));
    return value ? std::string(value.get()) : std::string();
}

bool DatabaseHasProxy()
{
    SECMODListLock* lock = SECMOD_GetDefaultModuleListLock();
    SECMOD_GetReadLock(lock);
    bool found = false;
    for (SECMODModuleList* entry = SECMOD_GetDefaultModuleList(); entry && !found; entry = entry->next)
        found = IsP11KitProxy(entry->module);
    SECMOD_ReleaseReadLock(lock);
    return found;
}

// Why NSS could not use a library, in the loader's words where it does not
// load at all.
std::string WhyNotLoaded(const std::string& library)
{
    LoadFailure failure;
    DynamicLibrary loaded;
    if (!loaded.Open(library, failure)) return failure.text.empty() ? "the library does not load" : failure.text;
    const bool module = loaded.Address("C_GetFunctionList", failure) != nullptr;
    return module ? "the module did not start (C_Initialize failed)" : "the library is no PKCS#11 module";
}

}  // namespace

std::string P11KitProxyModule() { return NEROLIN_P11KIT_PROXY; }

SECMODModule* LoadP11KitProxy()
{
    const std::string path = P11KitProxyModule();
    if (DatabaseHasProxy() || access(path.c_str(), R_OK) != 0) return nullptr;
    std::string spec = "library=\"" + path + "\" name=\"p11-kit-proxy\"";
    SECMODModule* proxy = SECMOD_LoadUserModule(spec.data(), nullptr, PR_FALSE);
    if (!proxy || !proxy->loaded) {
        ReportNssError("SECMOD_LoadUserModule", true);
        if (proxy) SECMOD_DestroyModule(proxy);
        return nullptr;
    }
    WriteEventEntry(EntryType::Information, "Modules registered with p11-kit are used through " + path);
    return proxy;
}

void UnloadP11KitProxy(SECMODModule* proxy)
{
    if (!proxy) return;
    SECMOD_UnloadUserModule(proxy);
    SECMOD_DestroyModule(proxy);
}

std::vector<UnloadedModule> FindUnloadedModules()
{
    std::vector<UnloadedModule> unloaded;
    SECMODModule* internal = SECMOD_GetInternalModule();
    SECMODModule* database = internal ? internal->parent : nullptr;
    char** specs = database ? SECMOD_GetModuleSpecList(database) : nullptr;
    for (char** spec = specs; spec && *spec; ++spec) {
        const std::string library = Parameter("library", *spec);
        const std::string name = Parameter("name", *spec);
        if (library.empty()) continue;  // NSS's own module
        // NSS keeps a module that failed to load, marked as not loaded.
        SECMODModule* module = SECMOD_FindModule(name.c_str());
        const bool loaded = module && module->loaded;
        if (module) SECMOD_DestroyModule(module);
        if (loaded) continue;
        unloaded.push_back({name, library, WhyNotLoaded(library)});
    }
    if (specs) SECMOD_FreeModuleSpecList(database, specs);
    return unloaded;
}

}  // namespace nerolin
