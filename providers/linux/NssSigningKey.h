#pragma once

// The private key of the session's certificate, held for one batch of
// signatures.
//
// A key in NSS's own software token is copied once into a session object of
// that token and the batch is signed with the copy: in a password-protected
// database NSS decrypts a stored key's attributes anew for every use (about
// 39 ms per RSA-2048 signature against under 2 ms with the copy). The copy
// lives only in the token's memory and is destroyed with this object. Keys on
// hardware tokens and in other modules are used where they are.

#include <memory>

#include "providers/linux/NssOwners.h"
#include "providers/linux/NssPinCallback.h"
#include "providers/SigningResult.h"

namespace nerolin {

class SigningKey {
public:
    // Finds the certificate's key on the first of its slots that holds it,
    // logging in through pins where the token asks for it. On failure the
    // failed call is reported (not for a cancel) and the result says why:
    // Canceled, PinIncorrect, PinLocked or Failed.
    static SigningResult Open(CERTCertificate* certificate, PinContext& pins, std::unique_ptr<SigningKey>& key);

    ~SigningKey();
    SigningKey(const SigningKey&) = delete;
    SigningKey& operator=(const SigningKey&) = delete;

    SECKEYPrivateKey* get() const { return key_.get(); }
    PK11SlotInfo* slot() const { return key_ ? key_->pkcs11Slot : nullptr; }
    bool IsSessionCopy() const { return sessionCopy_; }

private:
    SigningKey(PrivateKeyPtr key, bool sessionCopy) : key_(std::move(key)), sessionCopy_(sessionCopy) {}

    PrivateKeyPtr key_;
    bool sessionCopy_;
};

}  // namespace nerolin
