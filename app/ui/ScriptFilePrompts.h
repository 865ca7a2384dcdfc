#pragma once

// Prompts that answer from a script file and record every prompt in a
// transcript file, so end-to-end tests can drive the real program. Only a
// development build honours them, and only when started with
//   NEROLIN_TEST_PROMPTS=<script>      one answer per line, used in order per kind:
//                                      "pin <text>", "pin-cancel", "certificate <index>",
//                                      "certificate-cancel", "trust yes|no",
//                                      "save <path>", "save-cancel"
//   NEROLIN_TEST_TRANSCRIPT=<file>     (optional) lines appended per prompt:
//                                      "message <icon> <text>", "pin <token>",
//                                      "key-pin <key label>", "pin-pad <token>",
//                                      "certificate <count>", "trust <host> <reason>",
//                                      "save <initial name>"
// The three PIN questions all take the "pin" answers (a PIN pad's question
// ignores the text).
// A question without a scripted answer counts as cancelled.

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "common/UserPrompts.h"

namespace nerolin {

class ScriptFilePrompts : public UserPrompts {
public:
    // Null unless this is a development build started with NEROLIN_TEST_PROMPTS.
    static std::shared_ptr<ScriptFilePrompts> FromEnvironment();

    ScriptFilePrompts(const std::string& scriptPath, std::string transcriptPath);

    void ShowMessage(const std::string& text, MessageIcon icon) override;
    std::optional<SecretString> AskPin(const PinRequest& request) override;
    std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound) override;
    bool TrustServerCertificate(const std::string& host, const Bytes& certificate, const std::string& reason) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;

private:
    // The argument of the next answer of a kind; nullopt for none or "<kind>-cancel".
    std::optional<std::string> NextAnswer(const std::string& kind);
    void Record(const std::string& line);

    std::mutex mutex_;
    std::deque<std::string> answers_;
    std::string transcriptPath_;
};

}  // namespace nerolin
