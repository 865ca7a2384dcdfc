#pragma once

// The one way code below app/ talks to the user. app/ implements it with Qt
// dialogs, the console implementation writes to standard error when there is
// no display, and tests script the answers.
//
// Every call may come from any thread. The Qt implementation runs the dialog
// on the user-interface thread while the calling worker waits.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/SecretString.h"
#include "common/Text.h"

namespace nerolin {

enum class MessageIcon { Error, Warning, Information, Exclamation };

// What a PIN question shows. The target is what the PIN unlocks: a token by
// its name, or a signing key by its label when the key asks for a PIN of its
// own at every use (CKA_ALWAYS_AUTHENTICATE).
struct PinRequest {
    enum class Kind { Token, SigningKey };
    Kind kind = Kind::Token;
    std::string target;
    // The common name of the certificate whose key the PIN unlocks; empty
    // when the question comes before a certificate is known.
    std::string holder;
    // What the token reports of its user PIN: a wrong try has been made
    // (CKF_USER_PIN_COUNT_LOW), or the next wrong one locks it
    // (CKF_USER_PIN_FINAL_TRY).
    bool fewTriesLeft = false;
    bool finalTry = false;
    // The reader has a PIN pad of its own (CKF_PROTECTED_AUTHENTICATION_PATH):
    // the user types the PIN there after confirming, so there is nothing to
    // type here and the answer is the empty PIN.
    bool pinPad = false;
};

struct SaveFileRequest {
    std::string initialName;    // "Nerolin"
    std::string defaultSuffix;  // "log": added when the user types a name without one
    // (caption, pattern) pairs; the first is preselected.
    std::vector<std::pair<std::string, std::string>> filters;
    bool confirmOverwrite = true;
};

inline constexpr std::size_t kListCertificatesAgain = static_cast<std::size_t>(-1);

class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // A message box with caption "Nerolin" and only an OK button.
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;

    // The PIN that request asks for; nullopt when cancelled. The empty PIN
    // is the answer for a PIN pad only: the desktop's dialog refuses it
    // otherwise, so that a stray Enter does not cost the token a try.
    virtual std::optional<SecretString> AskPin(const PinRequest& request) = 0;

    // One of the DER certificates, by index; nullopt when cancelled, or
    // kListCertificatesAgain when the user asks for the tokens to be read
    // again (a card inserted meanwhile). anyFound tells an empty choice
    // whether no certificate was found at all or none passed the filter.
    virtual std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound) = 0;

    // Whether to trust a certificate that the system does not trust, which
    // the server host presented (DER). reason is the verification failure's
    // text. The answer holds for that host and certificate for the rest of
    // the run (session/TrustAnswers.h).
    virtual bool TrustServerCertificate(const std::string& host, const Bytes& certificate,
                                        const std::string& reason) = 0;

    // The path to save to; nullopt when cancelled.
    virtual std::optional<std::string> AskSaveFile(const SaveFileRequest& request) = 0;
};

// The process-wide prompts. Until SetUserPrompts is called these are the
// console prompts. The object must outlive every call made through it.
UserPrompts& Prompts();
void SetUserPrompts(std::shared_ptr<UserPrompts> prompts);

}  // namespace nerolin
