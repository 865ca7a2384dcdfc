#pragma once

// Prompts for tests: each question is answered from a queue the test fills,
// and every call is recorded. An unanswered question counts as cancelled.

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/UserPrompts.h"

namespace nerolin::test {

struct RecordedPrompt {
    std::string kind;  // "message", "pin", "certificate", "trust", "save"
    std::string text;  // message text, PIN target, number of certificates offered, trust reason, initial file name
    MessageIcon icon = MessageIcon::Information;
    PinRequest pin;    // the whole question, for "pin"
    std::string host;  // trust: the host that presented the certificate
};

class ScriptedPrompts : public UserPrompts {
public:
    // Answers, used in order of the questions of each kind.
    void QueuePin(std::optional<std::string> pin);
    void QueueCertificateChoice(std::optional<std::size_t> index);
    void QueueTrust(bool trust);
    void QueueSaveFile(std::optional<std::string> path);

    std::vector<RecordedPrompt> Recorded() const;
    std::vector<std::string> Messages() const;          // texts of ShowMessage, in order
    std::vector<SaveFileRequest> SaveRequests() const;  // every AskSaveFile request, in order
    void Clear();

    void ShowMessage(const std::string& text, MessageIcon icon) override;
    std::optional<SecretString> AskPin(const PinRequest& request) override;
    std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound) override;
    bool TrustServerCertificate(const std::string& host, const Bytes& certificate, const std::string& reason) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;

private:
    mutable std::mutex mutex_;
    std::deque<std::optional<std::string>> pins_;
    std::deque<std::optional<std::size_t>> choices_;
    std::deque<bool> trusts_;
    std::deque<std::optional<std::string>> saves_;
    std::vector<RecordedPrompt> recorded_;
    std::vector<SaveFileRequest> saveRequests_;
};

}  // namespace nerolin::test
