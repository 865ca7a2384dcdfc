#pragma once

// NSS asks for a token's PIN through one process-wide callback. Nerolin's
// callback asks the user through the prompt interface, with the token's name
// as the target, and keeps two promises:
//  - a PIN that a token refused is never handed to that token again in this
//    run: every wrong try costs a retry of a card, and NSS, left to itself,
//    asks again after a refusal, so a callback that repeated its answer
//    would burn the card's retries with one typing mistake;
//  - a cancel is told apart from a wrong PIN (NSS reports both as a bad
//    password).
// NSS hands the callback the context pointer of the call that needed the
// login; the callback writes into it what happened.

#include <array>
#include <cstdint>

#include <pk11pub.h>

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

// Whether the token in slot reports its user PIN locked.
bool TokenPinLocked(PK11SlotInfo* slot);

}  // namespace nerolin
