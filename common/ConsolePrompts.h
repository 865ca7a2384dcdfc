#pragma once

#include "common/UserPrompts.h"

namespace nerolin {

// Prompts for a run without any display: each message becomes one line
// "Nerolin: " + text on standard error (CR LF inside becomes a space), and
// every question answers as cancelled.
class ConsolePrompts : public UserPrompts {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    std::optional<SecretString> AskPin(const PinRequest& request) override;
    std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound) override;
    bool TrustServerCertificate(const std::string& host, const Bytes& certificate, const std::string& reason) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;
};

}  // namespace nerolin
