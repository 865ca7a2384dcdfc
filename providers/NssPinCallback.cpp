#include "providers/NssPinCallback.h"

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

char* AskTokenPin(PK11SlotInfo* slot, PRBool retry, void* argument)
{
    PinContext unused;
    PinContext& context = argument ? *static_cast<PinContext*>(argument) : unused;
    const std::string token = PK11_GetTokenName(slot);

    if (retry) {
        // NSS asks again only after the token refused the PIN just handed.
        // Stop here: the caller tells the user, and the refused PIN is
        // never offered to this token again.
        if (context.handedPin) Refused().Add(context.handedDigest);
        context.handedPin = false;
        context.outcome = PinContext::Outcome::Refused;
        return nullptr;
    }
    if (TokenPinLocked(slot)) {
        context.outcome = PinContext::Outcome::Locked;
        return nullptr;
    }
    // A reader with its own PIN pad: NSS logs in without a PIN from us.
    if (PK11_ProtectedAuthenticationPath(slot)) {
        context.outcome = PinContext::Outcome::Entered;
        return PORT_Strdup("");
    }

    std::optional<SecretString> pin = Prompts().AskPin(token);
    if (!pin) {
        context.outcome = PinContext::Outcome::Canceled;
        return nullptr;
    }
    const Digest digest = Refused().DigestOf(TokenIdentity(slot), pin->view());
    if (Refused().Contains(digest)) {
        context.outcome = PinContext::Outcome::Refused;
        return nullptr;
    }
    // NSS wipes and frees the copy after the login.
    char* copy = static_cast<char*>(PORT_Alloc(pin->size() + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, pin->data(), pin->size());
    copy[pin->size()] = '\0';
    context.handedPin = true;
    context.handedDigest = digest;
    context.outcome = PinContext::Outcome::Entered;
    return copy;
}

}  // namespace

void InstallPinCallback() { PK11_SetPasswordFunc(AskTokenPin); }

bool TokenPinLocked(PK11SlotInfo* slot)
{
    CK_TOKEN_INFO info{};
    return slot && PK11_GetTokenInfo(slot, &info) == SECSuccess && (info.flags & CKF_USER_PIN_LOCKED);
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
