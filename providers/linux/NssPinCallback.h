#pragma once

// NSS asks for a token's PIN through one process-wide callback. Nerolin's
// callback asks the user through the prompt interface, telling what the PIN
// unlocks (the token, or the signing key itself), whose certificate it is,
// how many tries the token says are left and whether the reader takes the
// PIN on its own pad, and keeps three promises:
//  - a PIN that a token refused is never handed to that token again in this
//    run: every wrong try costs a retry of a card, and NSS, left to itself,
//    asks again after a refusal, so a callback that repeated its answer
//    would burn the card's retries with one typing mistake;
//  - a key that asks for its PIN at every use (CKA_ALWAYS_AUTHENTICATE)
//    asks the user once per signing session: NSS logs in to such a key
//    before each signature, and the callback hands it the kept PIN;
//  - a cancel is told apart from a wrong PIN (NSS reports both as a bad
//    password).
// NSS hands the callback the context pointer of the call that needed the
// login; the callback reads the session's facts from it and writes into it
// what happened.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include <pk11pub.h>

#include "common/SecretString.h"
#include "providers/SigningResult.h"

namespace nerolin {

// Pass the address as the wincx/pwarg argument of every NSS call that may
// log in; NSS keeps it inside the keys it returns, so it must outlive them.
struct PinContext {
    enum class Outcome {
        NotAsked,
        Entered,   // the user typed a PIN and it went to the token
        Refused,   // the token refused it, or the user typed one it had refused before
        Canceled,  // the user closed the PIN prompt
        Locked,    // the token reported its PIN locked before anyone asked
    };
    Outcome outcome = Outcome::NotAsked;

    // Shown with every question: the common name of the certificate being used.
    std::string holder;

    // The signing key asks for a PIN of its own at every use. NSS asks for
    // it while the token is logged in already, which tells it apart from the
    // token's PIN. Its label names it in the question; the PIN typed is kept
    // here until signing ends, or until the token refuses it.
    bool keyAlwaysAuthenticates = false;
    std::string keyLabel;
    std::optional<SecretString> keyPin;

    // Internal: which PIN went to the token last, as a salted digest.
    bool handedPin = false;
    std::array<std::uint8_t, 32> handedDigest{};
};

void InstallPinCallback();

// The result of an NSS call that failed with error on slot while ctx
// collected what the callback saw: Canceled, PinLocked (SEC_ERROR_LOCKED_PASSWORD,
// or not logged in while the token reports its PIN locked), PinIncorrect, or
// Failed for anything else.
SigningResult PinAwareResult(const PinContext& context, int error, PK11SlotInfo* slot);

// The error number to report for such a result: NSS's own answer, except
// that a PIN the token refused reads as a bad password and a locked PIN as a
// locked password, whichever call found out.
int PinAwareError(SigningResult result, int error);

// Whether the token in slot reports its user PIN locked.
bool TokenPinLocked(PK11SlotInfo* slot);

}  // namespace nerolin
