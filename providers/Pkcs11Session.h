#pragma once

// One read-only session on a slot, and what is read through it. The owner
// closes the session, and logs the user out first when this object logged
// in, on every path.

#include <cstdint>
#include <string>

#include "common/Text.h"
#include "providers/Pkcs11.h"

namespace nerolin {

class Pkcs11Session {
public:
    Pkcs11Session(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot) : functions_(functions), slot_(slot) {}
    ~Pkcs11Session();
    Pkcs11Session(const Pkcs11Session&) = delete;
    Pkcs11Session& operator=(const Pkcs11Session&) = delete;

    // C_OpenSession(slot, CKF_SERIAL_SESSION); the module's answer.
    CK_RV Open();
    // C_Login with the given user type. A CKR_OK login of CKU_USER is undone
    // by C_Logout before the session closes.
    CK_RV Login(CK_USER_TYPE userType, const std::string_view pin);

    CK_SESSION_HANDLE handle() const { return handle_; }
    CK_FUNCTION_LIST* functions() const { return functions_; }

private:
    CK_FUNCTION_LIST* functions_;
    CK_SLOT_ID slot_;
    CK_SESSION_HANDLE handle_ = CK_INVALID_HANDLE;
    bool open_ = false;
    bool loggedIn_ = false;
};

// The two-call read of one attribute: its size, then its value.
struct AttributeRead {
    CK_RV sizeResult = CKR_OK;   // the first call's answer
    CK_RV valueResult = CKR_OK;  // the second call's answer (CKR_OK when not reached)
    Bytes value;
    bool ok() const { return sizeResult == CKR_OK && valueResult == CKR_OK; }
};
AttributeRead ReadAttribute(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                            CK_ATTRIBUTE_TYPE type);

// A CK_ULONG attribute (CKA_KEY_TYPE, CKA_CLASS) or a CK_BBOOL one; false
// when the module refuses it.
bool ReadUlongAttribute(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                        CK_ATTRIBUTE_TYPE type, CK_ULONG& value);
bool ReadBoolAttribute(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                       CK_ATTRIBUTE_TYPE type, bool& value);

// "Blank padded" PKCS#11 texts (labels, descriptions) as they are, all bytes.
template <std::size_t N>
std::string FixedText(const unsigned char (&text)[N])
{
    return std::string(reinterpret_cast<const char*>(text), N);
}

}  // namespace nerolin
