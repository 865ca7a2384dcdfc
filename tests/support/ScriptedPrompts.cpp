#include "tests/support/ScriptedPrompts.h"

namespace nerolin::test {

namespace {

// The next queued answer, or the cancelled answer when none is left.
template <typename T>
T Next(std::deque<T>& queue, T cancelled)
{
    if (queue.empty()) return cancelled;
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

}  // namespace

void ScriptedPrompts::QueuePin(std::optional<std::string> pin)
{
    std::lock_guard lock(mutex_);
    pins_.push_back(std::move(pin));
}

void ScriptedPrompts::QueueCertificateChoice(std::optional<std::size_t> index)
{
    std::lock_guard lock(mutex_);
    choices_.push_back(index);
}

void ScriptedPrompts::QueueTrust(bool trust)
{
    std::lock_guard lock(mutex_);
    trusts_.push_back(trust);
}

void ScriptedPrompts::QueueSaveFile(std::optional<std::string> path)
{
    std::lock_guard lock(mutex_);
    saves_.push_back(std::move(path));
}

std::vector<RecordedPrompt> ScriptedPrompts::Recorded() const
{
    std::lock_guard lock(mutex_);
    return recorded_;
}

std::vector<std::string> ScriptedPrompts::Messages() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> messages;
    for (const auto& prompt : recorded_) {
        if (prompt.kind == "message") messages.push_back(prompt.text);
    }
    return messages;
}

std::vector<SaveFileRequest> ScriptedPrompts::SaveRequests() const
{
    std::lock_guard lock(mutex_);
    return saveRequests_;
}

void ScriptedPrompts::Clear()
{
    std::lock_guard lock(mutex_);
    pins_.clear();
    choices_.clear();
    trusts_.clear();
    saves_.clear();
    recorded_.clear();
    saveRequests_.clear();
}

void ScriptedPrompts::ShowMessage(const std::string& text, MessageIcon icon)
{
    std::lock_guard lock(mutex_);
    recorded_.push_back({.kind = "message", .text = text, .icon = icon});
}

std::optional<SecretString> ScriptedPrompts::AskPin(const PinRequest& request)
{
    std::lock_guard lock(mutex_);
    recorded_.push_back({.kind = "pin", .text = request.target, .pin = request});
    std::optional<std::string> pin = Next(pins_, std::optional<std::string>());
    if (!pin) return std::nullopt;
    return SecretString(*pin);
}

std::optional<std::size_t> ScriptedPrompts::ChooseCertificate(const std::vector<Bytes>& certificates, bool)
{
    std::lock_guard lock(mutex_);
    recorded_.push_back({.kind = "certificate", .text = std::to_string(certificates.size())});
    return Next(choices_, std::optional<std::size_t>());
}

bool ScriptedPrompts::TrustServerCertificate(const std::string& host, const Bytes&, const std::string& reason)
{
    std::lock_guard lock(mutex_);
    recorded_.push_back({.kind = "trust", .text = reason, .host = host});
    return Next(trusts_, false);
}

std::optional<std::string> ScriptedPrompts::AskSaveFile(const SaveFileRequest& request)
{
    std::lock_guard lock(mutex_);
    recorded_.push_back({.kind = "save", .text = request.initialName});
    saveRequests_.push_back(request);
    return Next(saves_, std::optional<std::string>());
}

}  // namespace nerolin::test
