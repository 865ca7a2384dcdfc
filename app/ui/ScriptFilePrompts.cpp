#include "app/ui/ScriptFilePrompts.h"

#include <cstdlib>
#include <fstream>

#include "BuildConfig.h"

namespace nerolin {
namespace {

const char* IconName(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error: return "error";
    case MessageIcon::Warning: return "warning";
    case MessageIcon::Exclamation: return "exclamation";
    case MessageIcon::Information: break;
    }
    return "information";
}

// One transcript line per prompt: line breaks inside a text become " | ".
std::string OneLine(const std::string& text)
{
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        if (text[i] == '\n' || text[i] == '\r') {
            line += " | ";
        } else {
            line += text[i];
        }
    }
    return line;
}

}  // namespace

std::shared_ptr<ScriptFilePrompts> ScriptFilePrompts::FromEnvironment()
{
    if constexpr (!build::kDevelopmentBuild) {
        return nullptr;
    }
    const char* script = std::getenv("NEROLIN_TEST_PROMPTS");
    if (script == nullptr || *script == '\0') {
        return nullptr;
    }
    const char* transcript = std::getenv("NEROLIN_TEST_TRANSCRIPT");
    return std::make_shared<ScriptFilePrompts>(script, transcript ? transcript : "");
}

ScriptFilePrompts::ScriptFilePrompts(const std::string& scriptPath, std::string transcriptPath)
    : transcriptPath_(std::move(transcriptPath))
{
    std::ifstream script(scriptPath);
    for (std::string line; std::getline(script, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() != '#') {
            answers_.push_back(line);
        }
    }
}

std::optional<std::string> ScriptFilePrompts::NextAnswer(const std::string& kind)
{
    std::lock_guard lock(mutex_);
    for (auto it = answers_.begin(); it != answers_.end(); ++it) {
        const std::string& line = *it;
        if (line == kind + "-cancel") {
            answers_.erase(it);
            return std::nullopt;
        }
        if (line.compare(0, kind.size() + 1, kind + " ") == 0) {
            std::string argument = line.substr(kind.size() + 1);
            answers_.erase(it);
            return argument;
        }
    }
    return std::nullopt;
}

void ScriptFilePrompts::Record(const std::string& line)
{
    if (transcriptPath_.empty()) {
        return;
    }
    std::lock_guard lock(mutex_);
    std::ofstream transcript(transcriptPath_, std::ios::app);
    transcript << line << '\n';
}

void ScriptFilePrompts::ShowMessage(const std::string& text, MessageIcon icon)
{
    Record(std::string("message ") + IconName(icon) + " " + OneLine(text));
}

std::optional<SecretString> ScriptFilePrompts::AskPin(const PinRequest& request)
{
    const char* kind = request.kind == PinRequest::Kind::SigningKey ? "key-pin " : request.pinPad ? "pin-pad " : "pin ";
    Record(kind + OneLine(request.target));
    auto answer = NextAnswer("pin");
    if (!answer) {
        return std::nullopt;
    }
    return request.pinPad ? SecretString() : SecretString(*answer);
}

std::optional<std::size_t> ScriptFilePrompts::ChooseCertificate(const std::vector<Bytes>& certificates, bool)
{
    Record("certificate " + std::to_string(certificates.size()));
    const auto answer = NextAnswer("certificate");
    if (!answer) {
        return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long index = std::strtoul(answer->c_str(), &end, 10);
    if (end == answer->c_str() || index >= certificates.size()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(index);
}

bool ScriptFilePrompts::TrustServerCertificate(const std::string& host, const Bytes&, const std::string& reason)
{
    Record("trust " + OneLine(host) + " " + OneLine(reason));
    const auto answer = NextAnswer("trust");
    return answer && *answer == "yes";
}

std::optional<std::string> ScriptFilePrompts::AskSaveFile(const SaveFileRequest& request)
{
    Record("save " + request.initialName);
    return NextAnswer("save");
}

}  // namespace nerolin
