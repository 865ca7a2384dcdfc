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

struct SaveFileRequest {
    std::string initialName;    // "Nerolin"
    std::string defaultSuffix;  // "log": added when the user types a name without one
    // (caption, pattern) pairs; the first is preselected.
    std::vector<std::pair<std::string, std::string>> filters;
    bool confirmOverwrite = true;
};

class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // A message box with caption "Nerolin" and only an OK button.
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;

    // The PIN for target (a token or key name); nullopt when cancelled. An
    // empty PIN is a valid answer.
    virtual std::optional<SecretString> AskPin(const std::string& target) = 0;

    // One of the DER certificates, by index; nullopt when cancelled.
    virtual std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>& certificates) = 0;

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
