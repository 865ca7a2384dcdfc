// A PKCS#11 module for tests: forwards every call to a real module (SoftHSM)
// and, as environment variables ask at the time of each call, records calls
// and bends a few answers the way real card modules answer:
//
//   NEROLIN_SHIM_TARGET                the real module (default: SoftHSM)
//   NEROLIN_SHIM_TRACE                 file that gets one line per recorded call
//   NEROLIN_SHIM_ALREADY_INITIALIZED=1 C_Initialize answers CKR_CRYPTOKI_ALREADY_INITIALIZED
//   NEROLIN_SHIM_FAIL=NAME             the call NAME (C_GetSlotList, C_FindObjectsInit,
//                                      C_FindObjects, C_SignInit, C_Sign) answers
//                                      CKR_FUNCTION_FAILED; C_FindObjectsFinal does
//                                      too, after ending the real search
//   NEROLIN_SHIM_NO_LOGIN=PIN          the token reports no CKF_LOGIN_REQUIRED; the
//                                      shim logs the real token in with PIN itself
//   NEROLIN_SHIM_ENDLESS_SEARCH=1      C_FindObjects never says "no more": after the
//                                      last object it answers that object again
//   NEROLIN_SHIM_SLOT_COUNT=N          C_GetSlotList announces N slots
//   NEROLIN_SHIM_MISSING=NAME          read when the list is handed out: the entry of
//                                      C_GetSessionInfo or C_Sign is left empty

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <p11-kit-1/p11-kit/pkcs11.h>

namespace {

CK_FUNCTION_LIST* real = nullptr;
CK_FUNCTION_LIST shim;

bool Flag(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value && std::strcmp(value, "0") != 0;
}

void Trace(const std::string& line)
{
    const char* path = std::getenv("NEROLIN_SHIM_TRACE");
    if (!path || !*path) return;
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

bool Fails(const char* call)
{
    const char* name = std::getenv("NEROLIN_SHIM_FAIL");
    return name && std::strcmp(name, call) == 0;
}

CK_RV GetSlotList(CK_BBOOL present, CK_SLOT_ID_PTR list, CK_ULONG_PTR count)
{
    if (Fails("C_GetSlotList")) return CKR_FUNCTION_FAILED;
    if (const char* announced = std::getenv("NEROLIN_SHIM_SLOT_COUNT"); announced && !list) {
        *count = std::strtoul(announced, nullptr, 10);
        return CKR_OK;
    }
    return real->C_GetSlotList(present, list, count);
}

CK_RV FindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR search, CK_ULONG count)
{
    Trace("C_FindObjectsInit");
    if (Fails("C_FindObjectsInit")) return CKR_FUNCTION_FAILED;
    return real->C_FindObjectsInit(session, search, count);
}

CK_RV FindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG maximum, CK_ULONG_PTR count)
{
    static CK_OBJECT_HANDLE last = CK_INVALID_HANDLE;
    Trace("C_FindObjects");
    if (Fails("C_FindObjects")) return CKR_FUNCTION_FAILED;
    const CK_RV result = real->C_FindObjects(session, objects, maximum, count);
    if (result != CKR_OK) return result;
    if (*count > 0) {
        last = objects[*count - 1];
    } else if (Flag("NEROLIN_SHIM_ENDLESS_SEARCH") && last != CK_INVALID_HANDLE && maximum > 0) {
        objects[0] = last;
        *count = 1;
    }
    return result;
}

CK_RV FindObjectsFinal(CK_SESSION_HANDLE session)
{
    Trace("C_FindObjectsFinal");
    const CK_RV result = real->C_FindObjectsFinal(session);
    return Fails("C_FindObjectsFinal") ? CKR_FUNCTION_FAILED : result;
}

CK_RV Initialize(CK_VOID_PTR arguments)
{
    Trace("C_Initialize");
    const CK_RV result = real->C_Initialize(arguments);
    if (result == CKR_OK && Flag("NEROLIN_SHIM_ALREADY_INITIALIZED")) return CKR_CRYPTOKI_ALREADY_INITIALIZED;
    return result;
}

CK_RV Finalize(CK_VOID_PTR reserved)
{
    Trace("C_Finalize");
    return real->C_Finalize(reserved);
}

CK_RV GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info)
{
    const CK_RV result = real->C_GetTokenInfo(slot, info);
    if (result == CKR_OK && std::getenv("NEROLIN_SHIM_NO_LOGIN")) info->flags &= ~CKF_LOGIN_REQUIRED;
    return result;
}

CK_RV OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR application, CK_NOTIFY notify,
                  CK_SESSION_HANDLE_PTR session)
{
    Trace("C_OpenSession");
    const CK_RV result = real->C_OpenSession(slot, flags, application, notify, session);
    if (const char* pin = std::getenv("NEROLIN_SHIM_NO_LOGIN"); result == CKR_OK && pin) {
        // The login state belongs to the whole application, so it outlives
        // this session; "already logged in" is the expected answer later.
        real->C_Login(*session, CKU_USER, reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pin)), std::strlen(pin));
    }
    return result;
}

CK_RV CloseSession(CK_SESSION_HANDLE session)
{
    Trace("C_CloseSession");
    return real->C_CloseSession(session);
}

CK_RV Login(CK_SESSION_HANDLE session, CK_USER_TYPE type, CK_UTF8CHAR_PTR pin, CK_ULONG length)
{
    Trace("C_Login " + std::to_string(type));
    return real->C_Login(session, type, pin, length);
}

CK_RV Logout(CK_SESSION_HANDLE session)
{
    Trace("C_Logout");
    return real->C_Logout(session);
}

CK_RV SignInit(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key)
{
    Trace("C_SignInit " + std::to_string(mechanism ? mechanism->mechanism : 0));
    if (Fails("C_SignInit")) return CKR_FUNCTION_FAILED;
    return real->C_SignInit(session, mechanism, key);
}

CK_RV Sign(CK_SESSION_HANDLE session, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR signature,
           CK_ULONG_PTR signatureLength)
{
    if (!signature) Trace("C_Sign " + std::to_string(length));
    if (Fails("C_Sign")) return CKR_FUNCTION_FAILED;
    return real->C_Sign(session, data, length, signature, signatureLength);
}

bool Bind()
{
    if (real) return true;
    const char* target = std::getenv("NEROLIN_SHIM_TARGET");
    void* handle = dlopen(target && *target ? target : NEROLIN_SOFTHSM_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    auto getFunctionList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(handle, "C_GetFunctionList"));
    if (!getFunctionList || getFunctionList(&real) != CKR_OK || !real) return false;
    shim = *real;
    shim.C_Initialize = Initialize;
    shim.C_Finalize = Finalize;
    shim.C_GetSlotList = GetSlotList;
    shim.C_FindObjectsInit = FindObjectsInit;
    shim.C_FindObjects = FindObjects;
    shim.C_FindObjectsFinal = FindObjectsFinal;
    shim.C_GetTokenInfo = GetTokenInfo;
    shim.C_OpenSession = OpenSession;
    shim.C_CloseSession = CloseSession;
    shim.C_Login = Login;
    shim.C_Logout = Logout;
    shim.C_SignInit = SignInit;
    shim.C_Sign = Sign;
    return true;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list)
{
    if (!list) return CKR_ARGUMENTS_BAD;
    if (!Bind()) return CKR_GENERAL_ERROR;
    const char* missing = std::getenv("NEROLIN_SHIM_MISSING");
    const auto leftOut = [missing](const char* name) { return missing && std::strcmp(missing, name) == 0; };
    shim.C_GetSessionInfo = leftOut("C_GetSessionInfo") ? nullptr : real->C_GetSessionInfo;
    shim.C_Sign = leftOut("C_Sign") ? nullptr : Sign;
    *list = &shim;
    return CKR_OK;
}
