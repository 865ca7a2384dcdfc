#include "tests/session/AgentRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tests/session/SessionTestEnvironment.h"

extern char** environ;

namespace nerolin::test {

AgentRun RunAgent(const DevService& service, const std::string& link)
{
    const std::string errorFile = TestHome() + "/agent-stderr.txt";
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("SSL_CERT_FILE=", 0) != 0 &&
            entry.rfind("LANGUAGE=", 0) != 0 && entry.rfind("NEROLIN_TEST_WHITELIST_URL=", 0) != 0) {
            environment.push_back(entry);
        }
    }
    environment.push_back("SSL_CERT_FILE=" + service.SslCertFile());
    environment.push_back("NEROLIN_TEST_WHITELIST_URL=" + service.WhitelistUrl());
    environment.push_back("LANGUAGE=en");
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    const std::string program = std::string(NEROLIN_BINARY_DIR) + "/bin/nerolin";
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(link.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    AgentRun run;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    // Each box is one line of its own; whatever else appears is other output.
    std::ifstream in(errorFile);
    const std::string prefix = "Nerolin: ";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0 && !in.eof()) {
            run.messages.push_back(line.substr(prefix.size()));
        } else {
            run.otherOutput += line + (in.eof() ? "" : "\n");
        }
    }
    return run;
}

}  // namespace nerolin::test
