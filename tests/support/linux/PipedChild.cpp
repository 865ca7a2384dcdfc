#include "tests/support/PipedChild.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace nerolin::test {

struct PipedChild::Handles {
    pid_t pid = -1;
    int input = -1;
    int output = -1;
    bool finished = false;
    int status = -1;
};

PipedChild::PipedChild(const std::string& program, const std::vector<std::string>& arguments, ReadStream read)
    : handles_(std::make_unique<Handles>())
{
    int inputEnds[2];
    int outputEnds[2];
    if (pipe2(inputEnds, O_CLOEXEC) != 0) return;
    if (pipe2(outputEnds, O_CLOEXEC) != 0) {
        close(inputEnds[0]);
        close(inputEnds[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inputEnds[0], STDIN_FILENO);
    if (read == ReadStream::Output) {
        posix_spawn_file_actions_adddup2(&actions, outputEnds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, outputEnds[1], STDERR_FILENO);
    }
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&handles_->pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) handles_->pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(inputEnds[0]);
    close(outputEnds[1]);
    handles_->input = inputEnds[1];
    handles_->output = outputEnds[0];
}

PipedChild::~PipedChild()
{
    if (handles_) Finish();
}

PipedChild::PipedChild(PipedChild&&) noexcept = default;
PipedChild& PipedChild::operator=(PipedChild&&) noexcept = default;

bool PipedChild::Started() const { return handles_ && handles_->pid > 0; }

bool PipedChild::Write(const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(handles_->input, text.data() + done, text.size() - done);
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

std::string PipedChild::Read(std::size_t most)
{
    std::string buffer(most, '\0');
    const ssize_t got = read(handles_->output, buffer.data(), most);
    buffer.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return buffer;
}

int PipedChild::Finish()
{
    Handles& h = *handles_;
    if (h.finished) return h.status;
    h.finished = true;
    if (h.input >= 0) close(h.input);
    if (h.output >= 0) close(h.output);
    h.input = h.output = -1;
    int status = 0;
    if (h.pid > 0 && waitpid(h.pid, &status, 0) == h.pid && WIFEXITED(status)) h.status = WEXITSTATUS(status);
    return h.status;
}

}  // namespace nerolin::test
