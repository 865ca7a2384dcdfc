#include "providers/linux/NssSigningKey.h"

#include <secerr.h>

#include "eventlog/EventLog.h"
#include "providers/linux/NssCertificates.h"
#include "providers/linux/NssErrors.h"

namespace nerolin {
namespace {

bool IsPinFailure(const PinContext& pins, int error, PK11SlotInfo* slot)
{
    return pins.outcome == PinContext::Outcome::Canceled || pins.outcome == PinContext::Outcome::Refused ||
           pins.outcome == PinContext::Outcome::Locked || error == SEC_ERROR_BAD_PASSWORD ||
           error == SEC_ERROR_LOCKED_PASSWORD || (error == SEC_ERROR_TOKEN_NOT_LOGGED_IN && TokenPinLocked(slot));
}

// Reports a PIN problem (not a cancel) under call and gives its result.
SigningResult PinFailure(const char* call, const PinContext& pins, int error, PK11SlotInfo* slot)
{
    const SigningResult result = PinAwareResult(pins, error, slot);
    if (result != SigningResult::Canceled) ReportNssError(call, PinAwareError(result, error));
    return result;
}

// Only the software token's keys are copied; a copy that fails leaves the
// stored key in use, slower but the same signatures.
PrivateKeyPtr SessionCopyOf(SECKEYPrivateKey* stored)
{
    if (!PK11_IsInternal(stored->pkcs11Slot)) return nullptr;
    PrivateKeyPtr copy(PK11_CopyTokenPrivKeyToSessionPrivKey(stored->pkcs11Slot, stored));
    if (!copy) ReportNssError("PK11_CopyTokenPrivKeyToSessionPrivKey", true);
    return copy;
}

// The certificate's key on a logged-in token. NSS pairs them by CKA_ID (or
// by an identifier it derives from the public key); a token that gives the
// key another identifier is asked for the key whose public key equals the
// certificate's.
PrivateKeyPtr FindKey(PK11SlotInfo* slot, CERTCertificate* certificate, PinContext& pins)
{
    if (PrivateKeyPtr key{PK11_FindPrivateKeyFromCert(slot, certificate, &pins)}) return key;
    const TokenKey found = LookUpKey(slot, certificate);
    if (found.presence != TokenKey::Presence::Found) return nullptr;
    WriteEventEntry(EntryType::Information, "private key found by its public key, with id: " + HexEncode(found.id));
    SECItem id{siBuffer, const_cast<unsigned char*>(found.id.data()), static_cast<unsigned>(found.id.size())};
    PrivateKeyPtr key(PK11_FindKeyByKeyID(slot, &id, &pins));
    // Older NSS releases mark this key temporary, which would destroy the
    // token's object with the NSS key.
    if (key) key->pkcs11IsTemp = PR_FALSE;
    return key;
}

// Tells the PIN callback about a key that wants its own PIN at every use.
void DescribeKey(SECKEYPrivateKey* key, PinContext& pins)
{
    pins.keyAlwaysAuthenticates =
        PK11_HasAttributeSet(key->pkcs11Slot, key->pkcs11ID, CKA_ALWAYS_AUTHENTICATE, PR_FALSE) == PR_TRUE;
    pins.keyLabel.clear();
    if (!pins.keyAlwaysAuthenticates) return;
    if (char* label = PK11_GetPrivateKeyNickname(key)) {
        pins.keyLabel = label;
        PORT_Free(label);
    }
}

}  // namespace

SigningResult SigningKey::Open(CERTCertificate* certificate, PinContext& pins, std::unique_ptr<SigningKey>& key)
{
    key.reset();
    pins.keyAlwaysAuthenticates = false;
    pins.keyLabel.clear();
    pins.keyPin.reset();
    int error = SEC_ERROR_NO_KEY;
    for (const SlotPtr& slot : SlotsForCertificate(certificate)) {
        pins.outcome = PinContext::Outcome::NotAsked;
        // The one PIN question of the token, before its keys are looked at.
        if (PK11_NeedLogin(slot.get()) && !PK11_IsLoggedIn(slot.get(), nullptr) &&
            PK11_Authenticate(slot.get(), PR_FALSE, &pins) != SECSuccess) {
            error = PORT_GetError();
            // The user answered for this token: no other is asked.
            if (IsPinFailure(pins, error, slot.get())) return PinFailure("PK11_Authenticate", pins, error, slot.get());
            ReportNssError("PK11_Authenticate", error, true);
            continue;
        }
        PrivateKeyPtr stored = FindKey(slot.get(), certificate, pins);
        if (!stored) {
            error = PORT_GetError();
            if (IsPinFailure(pins, error, slot.get()))
                return PinFailure("PK11_FindPrivateKeyFromCert", pins, error, slot.get());
            continue;
        }
        DescribeKey(stored.get(), pins);
        PrivateKeyPtr copy = SessionCopyOf(stored.get());
        const bool isCopy = copy != nullptr;
        key.reset(new SigningKey(isCopy ? std::move(copy) : std::move(stored), isCopy));
        return SigningResult::Success;
    }
    ReportNssError("PK11_FindPrivateKeyFromCert", error);
    return SigningResult::Failed;
}

SigningKey::~SigningKey()
{
    // NSS destroys a copy it marked temporary with the key object; older
    // releases did not mark it, so destroy such a copy here.
    if (key_ && sessionCopy_ && !key_->pkcs11IsTemp) PK11_DestroyObject(key_->pkcs11Slot, key_->pkcs11ID);
}

}  // namespace nerolin
