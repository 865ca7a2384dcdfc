#include "common/ConsolePrompts.h"

#include <cstdio>

namespace nerolin {

namespace {

// One message is one line: a line break inside the text (CR LF, or a lone
// CR or LF) becomes a single space.
std::string OneLine(const std::string& text)
{
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        line.push_back(text[i] == '\r' || text[i] == '\n' ? ' ' : text[i]);
    }
    return line;
}

}  // namespace

void ConsolePrompts::ShowMessage(const std::string& text, MessageIcon)
{
    // One write per message, so lines from several threads do not interleave.
    const std::string line = "Nerolin: " + OneLine(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::optional<SecretString> ConsolePrompts::AskPin(const PinRequest&) { return std::nullopt; }

std::optional<std::size_t> ConsolePrompts::ChooseCertificate(const std::vector<Bytes>&, bool) { return std::nullopt; }

bool ConsolePrompts::TrustServerCertificate(const std::string&, const Bytes&, const std::string&) { return false; }

std::optional<std::string> ConsolePrompts::AskSaveFile(const SaveFileRequest&) { return std::nullopt; }

}  // namespace nerolin
