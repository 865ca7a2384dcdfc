#include "providers/Pkcs11Module.h"

#include <algorithm>

#include "providers/LibraryLoad.h"

namespace nerolin {

void Pkcs11Module::Load(const std::string& module)
{
    Unload();
    LoadFailure failure;
    if (!library_.Open(module, failure)) {
        WriteLoadFailure(failure);
        loadError_ = failure.text;
        return;
    }
    loadError_.clear();

    path_ = library_.Path();
    if (!path_.empty()) WriteEventEntry(EntryType::Information, "PKCS#11 module filename: " + path_);

    auto getFunctionList = EntryPoint<CK_C_GetFunctionList>(library_, "C_GetFunctionList", failure);
    if (!getFunctionList) {
        WriteEventEntry(EntryType::Error, "'C_GetFunctionList' function not found in module");
        return;
    }
    CK_FUNCTION_LIST* functions = nullptr;
    const CK_RV listed = getFunctionList(&functions);
    if (listed != CKR_OK || !functions) {
        WriteCallFailure({"C_GetFunctionList"}, listed);
        return;
    }
    functions_ = functions;

    const CK_RV initialized = Call(functions_, &CK_FUNCTION_LIST::C_Initialize,
                                   {"C_Initialize", EntryType::Error, CKR_CRYPTOKI_ALREADY_INITIALIZED}, nullptr);
    initialized_ = initialized == CKR_OK || initialized == CKR_CRYPTOKI_ALREADY_INITIALIZED;
    finalizeOnUnload_ = initialized == CKR_OK;
}

void Pkcs11Module::Unload()
{
    if (initialized_) {
        if (finalizeOnUnload_) Call(functions_, &CK_FUNCTION_LIST::C_Finalize, kUnlogged, nullptr);
        initialized_ = false;
        finalizeOnUnload_ = false;
    }
    functions_ = nullptr;
    library_.Close();
    path_.clear();
}

CK_RV Pkcs11Module::SlotList(bool tokenPresent, const TwoCallChecks& checks, std::vector<CK_SLOT_ID>& slots) const
{
    slots.clear();
    const CK_BBOOL present = tokenPresent ? CK_TRUE : CK_FALSE;
    CK_ULONG count = 0;
    const CK_RV counted = Call(functions(), &CK_FUNCTION_LIST::C_GetSlotList, checks.first, present, nullptr, &count);
    if (counted != CKR_OK) return counted;
    if (count > kMaximumSlots) return RefuseLength(checks);
    std::vector<CK_SLOT_ID> list(count);
    const CK_RV listed =
        Call(functions(), &CK_FUNCTION_LIST::C_GetSlotList, checks.second, present, list.data(), &count);
    if (listed != CKR_OK) return listed;
    list.resize(std::min<std::size_t>(count, list.size()));
    slots = std::move(list);
    return CKR_OK;
}

CK_RV Pkcs11Module::SlotInfo(CK_SLOT_ID slot, const CallCheck& check, CK_SLOT_INFO& info) const
{
    return Call(functions(), &CK_FUNCTION_LIST::C_GetSlotInfo, check, slot, &info);
}

CK_RV Pkcs11Module::TokenInfo(CK_SLOT_ID slot, const CallCheck& check, CK_TOKEN_INFO& info) const
{
    return Call(functions(), &CK_FUNCTION_LIST::C_GetTokenInfo, check, slot, &info);
}

}  // namespace nerolin
