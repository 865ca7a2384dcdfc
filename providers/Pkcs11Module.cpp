#include "providers/Pkcs11Module.h"

#include <cerrno>
#include <dlfcn.h>
#include <link.h>

namespace nerolin {

void Pkcs11Module::Load(const std::string& module)
{
    Unload();
    errno = 0;
    handle_ = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        // dlopen has no error number of its own; errno tells what the last
        // file operation of the search met, dlerror the whole story.
        const int code = errno;
        const char* text = dlerror();
        ReportSystemError("dlopen", static_cast<std::uint32_t>(code), false, text ? text : "");
        return;
    }

    link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name) {
        path_ = map->l_name;
        WriteEventEntry(EntryType::Information, "PKCS#11 module filename: " + path_);
    }

    auto getFunctionList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(handle_, "C_GetFunctionList"));
    if (!getFunctionList) {
        WriteEventEntry(EntryType::Error, "'C_GetFunctionList' function not found in module");
        return;
    }
    CK_FUNCTION_LIST* functions = nullptr;
    const CK_RV listed = getFunctionList(&functions);
    if (listed != CKR_OK || !functions) {
        WriteReturnValueEntry(EntryType::Error, "C_GetFunctionList", listed);
        return;
    }
    functions_ = functions;

    const CK_RV initialized = functions_->C_Initialize(nullptr);
    if (initialized == CKR_OK || initialized == CKR_CRYPTOKI_ALREADY_INITIALIZED) {
        initialized_ = true;
        finalizeOnUnload_ = initialized == CKR_OK;
    } else {
        WriteReturnValueEntry(EntryType::Error, "C_Initialize", initialized);
    }
}

void Pkcs11Module::Unload()
{
    if (initialized_) {
        if (finalizeOnUnload_) functions_->C_Finalize(nullptr);
        initialized_ = false;
        finalizeOnUnload_ = false;
    }
    functions_ = nullptr;
    if (handle_) {
        if (dlclose(handle_) == 0) handle_ = nullptr;
    }
    path_.clear();
}

}  // namespace nerolin
