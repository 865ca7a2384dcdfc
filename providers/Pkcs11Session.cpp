#include "providers/Pkcs11Session.h"

#include <algorithm>

#include "providers/Pkcs11Module.h"

namespace nerolin {

Pkcs11Session::Pkcs11Session(const Pkcs11Module& module, CK_SLOT_ID slot) : Pkcs11Session(module.functions(), slot) {}

Pkcs11Session::Pkcs11Session(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot) : functions_(functions), slot_(slot) {}

Pkcs11Session::~Pkcs11Session()
{
    if (loggedIn_) Call(functions_, &CK_FUNCTION_LIST::C_Logout, kUnlogged, handle_);
    if (open_) Call(functions_, &CK_FUNCTION_LIST::C_CloseSession, kUnlogged, handle_);
}

CK_RV Pkcs11Session::Open(const CallCheck& check)
{
    const CK_RV result = Call(functions_, &CK_FUNCTION_LIST::C_OpenSession, check, slot_, CK_FLAGS{CKF_SERIAL_SESSION},
                              nullptr, nullptr, &handle_);
    open_ = result == CKR_OK;
    return result;
}

CK_RV Pkcs11Session::Login(CK_USER_TYPE userType, std::string_view pin, const CallCheck& check)
{
    CallCheck login = check;
    if (userType == CKU_USER) login.alsoSuccess = CKR_USER_ALREADY_LOGGED_IN;
    auto* bytes = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin.data()));
    const CK_RV result = Call(functions_, &CK_FUNCTION_LIST::C_Login, login, handle_, userType, bytes,
                              static_cast<CK_ULONG>(pin.size()));
    if (userType == CKU_USER && result == CKR_OK) loggedIn_ = true;
    return result == login.alsoSuccess ? CKR_OK : result;
}

bool Pkcs11Session::UserLoggedIn() const
{
    CK_SESSION_INFO state{};
    return Call(functions_, &CK_FUNCTION_LIST::C_GetSessionInfo, kUnlogged, handle_, &state) == CKR_OK &&
           (state.state == CKS_RO_USER_FUNCTIONS || state.state == CKS_RW_USER_FUNCTIONS);
}

AttributeRead Pkcs11Session::ReadAttributes(CK_OBJECT_HANDLE object, std::initializer_list<CK_ATTRIBUTE_TYPE> types,
                                            CK_ULONG maximumLength, const TwoCallChecks& checks) const
{
    AttributeRead read;
    std::vector<CK_ATTRIBUTE> attributes;
    for (const CK_ATTRIBUTE_TYPE type : types) attributes.push_back({type, nullptr, 0});
    read.result = Call(functions_, &CK_FUNCTION_LIST::C_GetAttributeValue, checks.first, handle_, object,
                       attributes.data(), static_cast<CK_ULONG>(attributes.size()));
    if (read.result != CKR_OK) return read;

    read.values.resize(attributes.size());
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        // CK_UNAVAILABLE_INFORMATION is beyond every bound.
        if (attributes[i].ulValueLen > maximumLength) {
            read.result = RefuseLength(checks);
            read.values.clear();
            return read;
        }
        read.values[i].resize(attributes[i].ulValueLen);
        attributes[i].pValue = read.values[i].data();
    }
    read.result = Call(functions_, &CK_FUNCTION_LIST::C_GetAttributeValue, checks.second, handle_, object,
                       attributes.data(), static_cast<CK_ULONG>(attributes.size()));
    if (read.result != CKR_OK) {
        read.values.clear();
        return read;
    }
    for (std::size_t i = 0; i < attributes.size(); ++i)
        read.values[i].resize(std::min<std::size_t>(attributes[i].ulValueLen, read.values[i].size()));
    return read;
}

CK_RV Pkcs11Session::SignInit(CK_MECHANISM& mechanism, CK_OBJECT_HANDLE key, const CallCheck& check)
{
    return Call(functions_, &CK_FUNCTION_LIST::C_SignInit, check, handle_, &mechanism, key);
}

CK_RV Pkcs11Session::Sign(const Bytes& data, CK_ULONG maximumLength, const TwoCallChecks& checks, Bytes& signature)
{
    auto* bytes = const_cast<CK_BYTE*>(data.data());
    CK_ULONG length = 0;
    const CK_RV sized = Call(functions_, &CK_FUNCTION_LIST::C_Sign, checks.first, handle_, bytes,
                             static_cast<CK_ULONG>(data.size()), nullptr, &length);
    if (sized != CKR_OK) return sized;
    if (length > maximumLength) return RefuseLength(checks);
    Bytes result(length);
    const CK_RV signedResult = Call(functions_, &CK_FUNCTION_LIST::C_Sign, checks.second, handle_, bytes,
                                    static_cast<CK_ULONG>(data.size()), result.data(), &length);
    if (signedResult != CKR_OK) return signedResult;
    result.resize(std::min<std::size_t>(length, result.size()));
    signature = std::move(result);
    return CKR_OK;
}

SigningResult LoginResult(CK_RV value)
{
    if (value == CKR_OK) return SigningResult::Success;
    if (value == CKR_PIN_INCORRECT) return SigningResult::PinIncorrect;
    if (value == CKR_PIN_LOCKED) return SigningResult::PinLocked;
    return SigningResult::Failed;
}

}  // namespace nerolin
