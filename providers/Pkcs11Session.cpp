#include "providers/Pkcs11Session.h"

namespace nerolin {

Pkcs11Session::~Pkcs11Session()
{
    if (loggedIn_) functions_->C_Logout(handle_);
    if (open_) functions_->C_CloseSession(handle_);
}

CK_RV Pkcs11Session::Open()
{
    const CK_RV result = functions_->C_OpenSession(slot_, CKF_SERIAL_SESSION, nullptr, nullptr, &handle_);
    open_ = result == CKR_OK;
    return result;
}

CK_RV Pkcs11Session::Login(CK_USER_TYPE userType, std::string_view pin)
{
    auto* bytes = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin.data()));
    const CK_RV result = functions_->C_Login(handle_, userType, bytes, pin.size());
    if (userType == CKU_USER && result == CKR_OK) loggedIn_ = true;
    return result;
}

AttributeRead ReadAttribute(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                            CK_ATTRIBUTE_TYPE type)
{
    AttributeRead read;
    CK_ATTRIBUTE attribute{type, nullptr, 0};
    read.sizeResult = functions->C_GetAttributeValue(session, object, &attribute, 1);
    if (read.sizeResult != CKR_OK) return read;
    // CK_UNAVAILABLE_INFORMATION comes with CKR_OK from nothing but a broken
    // module; never turn it into a huge allocation.
    if (attribute.ulValueLen == CK_UNAVAILABLE_INFORMATION || attribute.ulValueLen > (1u << 20)) {
        read.sizeResult = CKR_ATTRIBUTE_VALUE_INVALID;
        return read;
    }
    read.value.resize(attribute.ulValueLen);
    attribute.pValue = read.value.data();
    read.valueResult = functions->C_GetAttributeValue(session, object, &attribute, 1);
    if (read.valueResult == CKR_OK)
        read.value.resize(attribute.ulValueLen);
    else
        read.value.clear();
    return read;
}

bool ReadUlongAttribute(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                        CK_ATTRIBUTE_TYPE type, CK_ULONG& value)
{
    CK_ULONG read = 0;
    CK_ATTRIBUTE attribute{type, &read, sizeof read};
    if (functions->C_GetAttributeValue(session, object, &attribute, 1) != CKR_OK) return false;
    if (attribute.ulValueLen != sizeof read) return false;
    value = read;
    return true;
}

bool ReadBoolAttribute(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                       CK_ATTRIBUTE_TYPE type, bool& value)
{
    CK_BBOOL read = CK_FALSE;
    CK_ATTRIBUTE attribute{type, &read, sizeof read};
    if (functions->C_GetAttributeValue(session, object, &attribute, 1) != CKR_OK) return false;
    value = read != CK_FALSE;
    return true;
}

}  // namespace nerolin
