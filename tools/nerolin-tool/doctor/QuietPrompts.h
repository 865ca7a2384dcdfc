#pragma once

// The prompts while the doctor runs the program's code: no window, no
// console question. A PIN is never given (so no token is ever logged in to,
// and no try is spent), no certificate is chosen or trusted, and the
// messages the code would have shown are kept for the report.

#include <mutex>
#include <string>
#include <vector>

#include "common/UserPrompts.h"

namespace nerolin::tool::doctor {

class QuietPrompts : public UserPrompts {
public:
    void ShowMessage(const std::string& text, MessageIcon) override
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    std::optional<SecretString> AskPin(const PinRequest&) override { return std::nullopt; }
    std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>&, bool) override { return std::nullopt; }
    bool TrustServerCertificate(const std::string&, const Bytes&, const std::string&) override { return false; }
    std::optional<std::string> AskSaveFile(const SaveFileRequest&) override { return std::nullopt; }

    // The messages shown since the last call, in order.
    std::vector<std::string> TakeMessages()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(messages_, {});
    }

private:
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

}  // namespace nerolin::tool::doctor
