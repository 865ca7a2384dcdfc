#include "providers/NssSigningKey.h"

#include <secerr.h>

#include "providers/NssCertificates.h"
#include "providers/NssErrors.h"

namespace nerolin {
namespace {

bool IsPinFailure(const PinContext& pins, int error, PK11SlotInfo* slot)
{
    return pins.outcome == PinContext::Outcome::Canceled || pins.outcome == PinContext::Outcome::Refused ||
           pins.outcome == PinContext::Outcome::Locked || error == SEC_ERROR_BAD_PASSWORD ||
           error == SEC_ERROR_LOCKED_PASSWORD || (error == SEC_ERROR_TOKEN_NOT_LOGGED_IN && TokenPinLocked(slot));
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

}  // namespace

SigningResult SigningKey::Open(CERTCertificate* certificate, PinContext& pins, std::unique_ptr<SigningKey>& key)
{
    key.reset();
    int error = SEC_ERROR_NO_KEY;
    for (const SlotPtr& slot : SlotsForCertificate(certificate)) {
        pins.outcome = PinContext::Outcome::NotAsked;
        PrivateKeyPtr stored(PK11_FindPrivateKeyFromCert(slot.get(), certificate, &pins));
        if (stored) {
            PrivateKeyPtr copy = SessionCopyOf(stored.get());
            const bool isCopy = copy != nullptr;
            key.reset(new SigningKey(isCopy ? std::move(copy) : std::move(stored), isCopy));
            return SigningResult::Success;
        }
        error = PORT_GetError();
        // After a PIN problem on a token the key is not looked for on the
        // next: the user answered for this one.
        if (IsPinFailure(pins, error, slot.get())) {
            const SigningResult result = PinAwareResult(pins, error, slot.get());
            if (result == SigningResult::Canceled) return result;
            if (result == SigningResult::PinLocked && error != SEC_ERROR_TOKEN_NOT_LOGGED_IN)
                error = SEC_ERROR_LOCKED_PASSWORD;
            ReportNssError("PK11_FindPrivateKeyFromCert", error);
            return result;
        }
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
