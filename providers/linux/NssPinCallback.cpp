#include "providers/linux/NssPinCallback.h"

#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <secerr.h>
#include <secport.h>

#include "common/UserPrompts.h"

namespace nerolin {
namespace {

using Digest = std::array<std::uint8_t, 32>;

// Refused PINs are remembered only as digests salted per process, so no PIN
// stays in memory after the callback returns.
class RefusedPins {
public:
    RefusedPins() { RAND_bytes(salt_.data(), static_cast<int>(salt_.size())); }

    Digest DigestOf(const std::string& tokenIdentity, std::string_view pin) const
    {
        Digest digest{};
        unsigned length = 0;
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        const unsigned char separator = 0;
        if (context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) &&
            EVP_DigestUpdate(context, salt_.data(), salt_.size()) &&
            EVP_DigestUpdate(context, tokenIdentity.data(), tokenIdentity.size()) &&
            EVP_DigestUpdate(context, &separator, 1) && EVP_DigestUpdate(context, pin.data(), pin.size()))
            EVP_DigestFinal_ex(context, digest.data(), &length);
        EVP_MD_CTX_free(context);
        return digest;
    }

    void Add(const Digest& digest)
    {
        std::lock_guard lock(mutex_);
        refused_.insert(digest);
    }

    bool Contains(const Digest& digest) const
    {
        std::lock_guard lock(mutex_);
        return refused_.count(digest) != 0;
    }

private:
    Digest salt_{};
    mutable std::mutex mutex_;
    std::set<Digest> refused_;
};

RefusedPins& Refused()
{
    static RefusedPins refused;
    return refused;
}

// Two cards may carry the same label; their serial numbers tell them apart.
std::string TokenIdentity(PK11SlotInfo* slot)
{
    std::string identity = PK11_GetTokenName(slot);
    CK_TOKEN_INFO info{};
    if (PK11_GetTokenInfo(slot, &info) == SECSuccess)
        identity.append("\n").append(reinterpret_cast<const char*>(info.serialNumber), sizeof info.serialNumber);
    return identity;
}

CK_FLAGS TokenFlags(PK11SlotInfo* slot)
{
    CK_TOKEN_INFO info{};
    return PK11_GetTokenInfo(slot, &info) == SECSuccess ? info.flags : 0;
}

// NSS frees what the callback returns after wiping it.
char* NssCopy(std::string_view pin)
{
    char* copy = static_cast<char*>(PORT_Alloc(pin.size() + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, pin.data(), pin.size());
    copy[pin.size()] = '\0';
    return copy;
}

// Hands pin to the token unless the token refused it before.
char* Hand(PinContext& context, const std::string& identity, std::string_view pin)
{
    const Digest digest = Refused().DigestOf(identity, pin);
    if (Refused().Contains(digest)) {
        context.outcome = PinContext::Outcome::Refused;
        return nullptr;
    }
    char* copy = NssCopy(pin);
    if (!copy) return nullptr;
    context.handedPin = true;
    context.handedDigest = digest;
    context.outcome = PinContext::Outcome::Entered;
    return copy;
}

// The key's own PIN, asked once and kept for the signing session. A PIN pad
// takes it anew each time: there is nothing to keep.
char* AskKeyPin(PK11SlotInfo* slot, PinContext& context)
{
    PinRequest request;
    request.kind = PinRequest::Kind::SigningKey;
    request.target = context.keyLabel.empty() ? PK11_GetTokenName(slot) : context.keyLabel;
    request.holder = context.holder;
    request.pinPad = PK11_ProtectedAuthenticationPath(slot);
    if (request.pinPad) {
        if (!Prompts().AskPin(request)) {
            context.outcome = PinContext::Outcome::Canceled;
            return nullptr;
        }
        context.outcome = PinContext::Outcome::Entered;
        return PORT_Strdup("");
    }
    if (!context.keyPin) {
        context.keyPin = Prompts().AskPin(request);
        if (!context.keyPin) {
            context.outcome = PinContext::Outcome::Canceled;
            return nullptr;
        }
    }
    char* handed = Hand(context, TokenIdentity(slot) + "\nkey\n" + context.keyLabel, context.keyPin->view());
    if (!handed) context.keyPin.reset();
    return handed;
}

char* AskTokenPin(PK11SlotInfo* slot, PRBool retry, void* argument)
{
    PinContext unused;
    PinContext& context = argument ? *static_cast<PinContext*>(argument) : unused;
    // NSS logs in to an always-authenticating key with the token logged in
    // already; the token's own PIN is asked only while it is not.
    const bool keyLogin = context.keyAlwaysAuthenticates && (!PK11_NeedLogin(slot) || PK11_IsLoggedIn(slot, nullptr));

    if (retry) {
        // NSS asks again only after the token refused the PIN just handed.
        // Stop here: the caller tells the user, and the refused PIN is
        // never offered to this token again.
        if (context.handedPin) Refused().Add(context.handedDigest);
        context.handedPin = false;
        if (keyLogin) context.keyPin.reset();
        context.outcome = PinContext::Outcome::Refused;
        return nullptr;
    }
    context.handedPin = false;
    if (keyLogin) return AskKeyPin(slot, context);

    const CK_FLAGS flags = TokenFlags(slot);
    if (flags & CKF_USER_PIN_LOCKED) {
        context.outcome = PinContext::Outcome::Locked;
        return nullptr;
    }
    PinRequest request;
    request.target = PK11_GetTokenName(slot);
    request.holder = context.holder;
    request.fewTriesLeft = (flags & CKF_USER_PIN_COUNT_LOW) != 0;
    request.finalTry = (flags & CKF_USER_PIN_FINAL_TRY) != 0;
    // A reader with its own PIN pad: NSS logs in without a PIN from us, and
    // the reader asks the user.
    request.pinPad = PK11_ProtectedAuthenticationPath(slot);

    std::optional<SecretString> pin = Prompts().AskPin(request);
    if (!pin) {
        context.outcome = PinContext::Outcome::Canceled;
        return nullptr;
    }
    if (request.pinPad) {
        context.outcome = PinContext::Outcome::Entered;
        return PORT_Strdup("");
    }
    return Hand(context, TokenIdentity(slot), pin->view());
}

}  // namespace

void InstallPinCallback() { PK11_SetPasswordFunc(AskTokenPin); }

bool TokenPinLocked(PK11SlotInfo* slot)
{
    CK_TOKEN_INFO info{};
    return slot && PK11_GetTokenInfo(slot, &info) == SECSuccess && (info.flags & CKF_USER_PIN_LOCKED);
}

int PinAwareError(SigningResult result, int error)
{
    if (result == SigningResult::PinIncorrect) return SEC_ERROR_BAD_PASSWORD;
    if (result == SigningResult::PinLocked) return SEC_ERROR_LOCKED_PASSWORD;
    return error;
}

SigningResult PinAwareResult(const PinContext& context, int error, PK11SlotInfo* slot)
{
    switch (context.outcome) {
    case PinContext::Outcome::Canceled: return SigningResult::Canceled;
    case PinContext::Outcome::Locked: return SigningResult::PinLocked;
    default: break;
    }
    if (error == SEC_ERROR_LOCKED_PASSWORD) return SigningResult::PinLocked;
    if (error == SEC_ERROR_TOKEN_NOT_LOGGED_IN && TokenPinLocked(slot)) return SigningResult::PinLocked;
    if (context.outcome == PinContext::Outcome::Refused || error == SEC_ERROR_BAD_PASSWORD)
        return SigningResult::PinIncorrect;
    return SigningResult::Failed;
}

}  // namespace nerolin
