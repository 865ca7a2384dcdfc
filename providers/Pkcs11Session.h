#pragma once

// One read-only session on a slot, and the calls made in it. The owner
// closes the session, and logs the user out first when this object logged
// in, on every path. Each call takes the check its caller's entries ask for
// (see Pkcs11.h).

#include <initializer_list>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "providers/Pkcs11.h"
#include "providers/SigningResult.h"

namespace nerolin {

class Pkcs11Module;

// The values of a two-call attribute read, one per attribute asked for.
struct AttributeRead {
    CK_RV result = CKR_OK;  // the failing call's answer, or the refusal of a length
    std::vector<Bytes> values;
    bool ok() const { return result == CKR_OK; }
};

class Pkcs11Session {
public:
    // module must be initialized and outlive the session.
    Pkcs11Session(const Pkcs11Module& module, CK_SLOT_ID slot);
    // A module that another user loaded and keeps (NSS): its function list.
    Pkcs11Session(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot);
    ~Pkcs11Session();
    Pkcs11Session(const Pkcs11Session&) = delete;
    Pkcs11Session& operator=(const Pkcs11Session&) = delete;

    // C_OpenSession(slot, CKF_SERIAL_SESSION).
    CK_RV Open(const CallCheck& check);

    // C_Login. For CKU_USER, CKR_USER_ALREADY_LOGGED_IN is answered CKR_OK:
    // the login belongs to the whole application, and another session (or
    // NSS, over the same module) made it. Only a login that this object made
    // is undone by C_Logout before the session closes.
    CK_RV Login(CK_USER_TYPE userType, std::string_view pin, const CallCheck& check);

    // True when the token is logged in for the whole application already,
    // by another user of the same module in this process.
    bool UserLoggedIn() const;

    // C_GetAttributeValue twice, for all the attributes at once: their
    // lengths, then their values. A length beyond maximumLength (or the
    // "unavailable" mark, which comes with CKR_OK only from a broken module)
    // is refused as checks.tooLong says.
    AttributeRead ReadAttributes(CK_OBJECT_HANDLE object, std::initializer_list<CK_ATTRIBUTE_TYPE> types,
                                 CK_ULONG maximumLength, const TwoCallChecks& checks) const;

    // One call for an attribute of fixed size (CK_ULONG, CK_BBOOL); value
    // keeps what it held when the module refuses.
    template <typename Value>
    CK_RV ReadValue(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type, const CallCheck& check, Value& value) const
    {
        Value read = value;
        CK_ATTRIBUTE attribute{type, &read, sizeof read};
        const CK_RV result =
            Call(functions_, &CK_FUNCTION_LIST::C_GetAttributeValue, check, handle_, object, &attribute, CK_ULONG{1});
        if (result == CKR_OK) value = read;
        return result;
    }

    CK_RV SignInit(CK_MECHANISM& mechanism, CK_OBJECT_HANDLE key, const CallCheck& check);

    // C_Sign twice: the signature's length, then the signature. A length
    // beyond maximumLength is refused as checks.tooLong says.
    CK_RV Sign(const Bytes& data, CK_ULONG maximumLength, const TwoCallChecks& checks, Bytes& signature);

    CK_SESSION_HANDLE handle() const { return handle_; }
    CK_FUNCTION_LIST* functions() const { return functions_; }

private:
    CK_FUNCTION_LIST* functions_;
    CK_SLOT_ID slot_;
    CK_SESSION_HANDLE handle_ = CK_INVALID_HANDLE;
    bool open_ = false;
    bool loggedIn_ = false;
};

// What a refused login means to the signer: the two PIN answers that the
// user is told about; every other answer is Failed.
SigningResult LoginResult(CK_RV value);

}  // namespace nerolin
