#include "tests/session/AgentRun.h"

#include <filesystem>
#include <fstream>

#include "tests/session/SessionTestEnvironment.h"
#include "tests/support/PipedChild.h"
#include "tests/support/Portable.h"
#include "tests/support/SystemRoots.h"

namespace nerolin::test {

// The program's system trust is the user's ROOT store, which the service's
// CA joins for the rest of the run. Its language is the user's.
AgentRun RunAgent(const DevService& service, const std::string& link)
{
    TrustSystemRoots(service.SslCertFile());
    const std::string answers = TestHome() + "/agent-answers.txt";  // none: a TEST run asks nothing
    const std::string transcript = TestHome() + "/agent-transcript.txt";
    std::ofstream(answers, std::ios::trunc).close();
    std::error_code ignored;
    std::filesystem::remove(transcript, ignored);

    AgentRun run;
    {
        const ScopedEnvironment whitelist("NEROLIN_TEST_WHITELIST_URL", service.WhitelistUrl().c_str());
        const ScopedEnvironment prompts("NEROLIN_TEST_PROMPTS", answers.c_str());
        const ScopedEnvironment written("NEROLIN_TEST_TRANSCRIPT", transcript.c_str());
        const ProgramRun program = RunProgram(NEROLIN_BINARY_DIR "/bin/nerolin", {link}, ReadStream::Errors);
        run.exitStatus = program.status;
        run.otherOutput = program.text;
    }
    // "message ICON TEXT" for each box, a line break inside TEXT written as
    // " | "; any other line is a question.
    std::ifstream in(transcript);
    const std::string box = "message ";
    for (std::string line; std::getline(in, line);) {
        const std::size_t text = line.rfind(box, 0) == 0 ? line.find(' ', box.size()) : std::string::npos;
        if (text != std::string::npos) {
            std::string message = line.substr(text + 1);
            for (std::size_t at = message.find(" | "); at != std::string::npos; at = message.find(" | ", at + 1))
                message.replace(at, 3, " ");
            run.messages.push_back(message);
        } else {
            run.otherOutput += "asked: " + line + "\n";
        }
    }
    return run;
}

}  // namespace nerolin::test
