#pragma once

// A PKCS#11 module loaded at run time (platform/DynamicLibrary.h) and used only through the function
// list its C_GetFunctionList returns, with the module-wide calls (slots and
// tokens). Load writes the entries of every failure; the owner unloads it
// with Unload or by destruction.

#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "providers/Pkcs11.h"

namespace nerolin {

class Pkcs11Module {
public:
    // More slots than any machine has readers and virtual slots; a module
    // that announces more is refused before the list is allocated.
    static constexpr CK_ULONG kMaximumSlots = 1024;

    Pkcs11Module() = default;
    ~Pkcs11Module() { Unload(); }
    Pkcs11Module(const Pkcs11Module&) = delete;
    Pkcs11Module& operator=(const Pkcs11Module&) = delete;

    // module: a file name found by the library search, or a path. Loads,
    // finds the function list and initializes the library. A failure is
    // logged (error entries only: the caller decides what the user hears)
    // and leaves the module unusable; what was loaded stays until Unload.
    void Load(const std::string& module);

    // The loader's text when the last Load could not open the library.
    const std::string& loadError() const { return loadError_; }

    // C_Finalize when this object's C_Initialize returned CKR_OK, then
    // unloads the library. Safe to call more than once.
    void Unload();

    // True once C_Initialize answered CKR_OK or CKR_CRYPTOKI_ALREADY_INITIALIZED.
    bool initialized() const { return initialized_; }
    CK_FUNCTION_LIST* functions() const { return initialized_ ? functions_ : nullptr; }
    // The full path of the loaded file; empty when nothing is loaded.
    const std::string& path() const { return path_; }

    // C_GetSlotList twice (count, then list): the slots with a token, or all.
    CK_RV SlotList(bool tokenPresent, const TwoCallChecks& checks, std::vector<CK_SLOT_ID>& slots) const;
    CK_RV SlotInfo(CK_SLOT_ID slot, const CallCheck& check, CK_SLOT_INFO& info) const;
    CK_RV TokenInfo(CK_SLOT_ID slot, const CallCheck& check, CK_TOKEN_INFO& info) const;

private:
    DynamicLibrary library_;
    CK_FUNCTION_LIST* functions_ = nullptr;
    bool initialized_ = false;
    // Another user of the same library in this process (NSS loads the very
    // modules that are registered in its database) initialized it first;
    // finalizing it would pull the library from under that user.
    bool finalizeOnUnload_ = false;
    std::string path_;
    std::string loadError_;
};

}  // namespace nerolin
