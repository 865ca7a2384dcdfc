// A PKCS#11 module that forwards every call to the module named by
// NEROLIN_LOCKING_TARGET (default: SoftHSM), except that each slot's user PIN
// locks after NEROLIN_LOCKING_LIMIT (default 3) wrong PINs in a row: from then
// on C_Login answers CKR_PIN_LOCKED without asking the wrapped module, and
// C_GetTokenInfo reports CKF_USER_PIN_LOCKED. Before that the token reports
// CKF_USER_PIN_COUNT_LOW after a wrong PIN and CKF_USER_PIN_FINAL_TRY when
// one try is left. A correct PIN resets the count, as cards do.
//
// With NEROLIN_LOCKING_PIN_PAD=<pin> the tokens stand behind a reader with a
// PIN pad: C_GetTokenInfo reports CKF_PROTECTED_AUTHENTICATION_PATH, and a
// C_Login without a PIN logs in with <pin>, as if the user typed it there.
//
// NEROLIN_LOCKING_START_WRONG=<n> starts every slot with n wrong PINs in a
// row, as a card arrives that was mistyped elsewhere: a process of its own
// (a tool under test) then sees a token with few tries left, or a locked one.
//
// nerolin_locking_wrong_pins() tells tests how many wrong PINs reached the
// module in this process, the user's and those of keys that ask for their
// own (CKU_CONTEXT_SPECIFIC).

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include <p11-kit/pkcs11.h>

namespace {

unsigned long Limit();

struct SlotState {
    SlotState()
    {
        const char* text = std::getenv("NEROLIN_LOCKING_START_WRONG");
        wrongInRow = text ? std::strtoul(text, nullptr, 10) : 0;
        locked = wrongInRow >= Limit();
    }
    unsigned long wrongInRow = 0;
    bool locked = false;
};

std::mutex gMutex;
std::map<CK_SLOT_ID, SlotState> gSlots;
unsigned long gWrongPins = 0;
CK_FUNCTION_LIST gFunctions;
CK_FUNCTION_LIST_PTR gTarget = nullptr;

unsigned long Limit()
{
    const char* text = std::getenv("NEROLIN_LOCKING_LIMIT");
    const long value = text ? std::strtol(text, nullptr, 10) : 3;
    return value > 0 ? static_cast<unsigned long>(value) : 3;
}

const char* PinPad() { return std::getenv("NEROLIN_LOCKING_PIN_PAD"); }

CK_RV LockingLogin(CK_SESSION_HANDLE session, CK_USER_TYPE userType, CK_UTF8CHAR_PTR pin, CK_ULONG length)
{
    const char* pad = PinPad();
    if (pad && !pin && length == 0) {
        pin = reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pad));
        length = std::strlen(pad);
    }
    if (userType == CKU_CONTEXT_SPECIFIC) {
        const CK_RV result = gTarget->C_Login(session, userType, pin, length);
        std::lock_guard lock(gMutex);
        if (result == CKR_PIN_INCORRECT) ++gWrongPins;
        return result;
    }
    if (userType != CKU_USER) return gTarget->C_Login(session, userType, pin, length);
    CK_SESSION_INFO info{};
    const CK_RV infoResult = gTarget->C_GetSessionInfo(session, &info);
    if (infoResult != CKR_OK) return infoResult;
    {
        std::lock_guard lock(gMutex);
        if (gSlots[info.slotID].locked) return CKR_PIN_LOCKED;
    }
    const CK_RV result = gTarget->C_Login(session, userType, pin, length);
    std::lock_guard lock(gMutex);
    SlotState& state = gSlots[info.slotID];
    if (result == CKR_PIN_INCORRECT) {
        ++gWrongPins;
        if (++state.wrongInRow >= Limit()) {
            state.locked = true;
            return CKR_PIN_LOCKED;
        }
    } else if (result == CKR_OK || result == CKR_USER_ALREADY_LOGGED_IN) {
        state.wrongInRow = 0;
    }
    return result;
}

CK_RV LockingGetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info)
{
    const CK_RV result = gTarget->C_GetTokenInfo(slot, info);
    if (result != CKR_OK || !info) return result;
    std::lock_guard lock(gMutex);
    const SlotState& state = gSlots[slot];
    info->flags &= ~(CKF_USER_PIN_COUNT_LOW | CKF_USER_PIN_FINAL_TRY | CKF_USER_PIN_LOCKED);
    if (PinPad()) info->flags |= CKF_PROTECTED_AUTHENTICATION_PATH;
    if (state.locked)
        info->flags |= CKF_USER_PIN_LOCKED;
    else if (state.wrongInRow > 0) {
        info->flags |= CKF_USER_PIN_COUNT_LOW;
        if (state.wrongInRow + 1 == Limit()) info->flags |= CKF_USER_PIN_FINAL_TRY;
    }
    return result;
}

const char* TargetPath()
{
    const char* path = std::getenv("NEROLIN_LOCKING_TARGET");
    if (path && *path) return path;
    for (const char* candidate : {"/usr/lib/softhsm/libsofthsm2.so", "/usr/lib/x86_64-linux-gnu/softhsm/libsofthsm2.so",
                                  "/usr/lib/aarch64-linux-gnu/softhsm/libsofthsm2.so"})
        if (void* handle = dlopen(candidate, RTLD_NOW | RTLD_LOCAL)) {
            dlclose(handle);
            return candidate;
        }
    return nullptr;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list)
{
    if (!list) return CKR_ARGUMENTS_BAD;
    std::lock_guard lock(gMutex);
    if (!gTarget) {
        const char* path = TargetPath();
        void* handle = path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;  // kept for the process
        auto getList = handle ? reinterpret_cast<CK_C_GetFunctionList>(dlsym(handle, "C_GetFunctionList")) : nullptr;
        if (!getList || getList(&gTarget) != CKR_OK || !gTarget) {
            gTarget = nullptr;
            return CKR_GENERAL_ERROR;
        }
        gFunctions = *gTarget;
        gFunctions.C_Login = LockingLogin;
        gFunctions.C_GetTokenInfo = LockingGetTokenInfo;
    }
    *list = &gFunctions;
    return CKR_OK;
}

__attribute__((visibility("default"))) unsigned long nerolin_locking_wrong_pins()
{
    std::lock_guard lock(gMutex);
    return gWrongPins;
}

}  // extern "C"
