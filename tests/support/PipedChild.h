#pragma once

// A program run as a child process whose standard input and output are
// pipes held by the test: the test writes to it, reads what it prints and
// waits for its exit status. Each system's part is in linux/ or windows/
// (posix_spawn there, CreateProcessW here).

#include <memory>
#include <string>
#include <vector>

namespace nerolin::test {

// Which of the child's streams the test reads: its standard output (its
// errors then go to the test's own standard error), or its standard error
// (its output is then discarded).
enum class ReadStream { Output, Errors };

class PipedChild {
public:
    // Started() tells whether the program runs.
    PipedChild(const std::string& program, const std::vector<std::string>& arguments,
               ReadStream read = ReadStream::Output);
    // Finish(), unless it was called.
    ~PipedChild();
    PipedChild(PipedChild&&) noexcept;
    PipedChild& operator=(PipedChild&&) noexcept;

    bool Started() const;
    // Writes all of text to the child's input.
    bool Write(const std::string& text);
    // What one read of the child's output gives, at most `most` bytes; empty
    // at its end: once the child has ended and all it wrote was read.
    std::string Read(std::size_t most);
    // Closes both pipes and waits for the end: the exit status, or -1 when
    // the child did not exit normally or never started.
    int Finish();

    struct Handles;

private:
    std::unique_ptr<Handles> handles_;
};

struct ProgramRun {
    int status = -1;   // as PipedChild::Finish() gives it
    std::string text;  // all of the stream read
};

// Runs a program to its end with nothing on its input.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             ReadStream read = ReadStream::Output)
{
    PipedChild child(program, arguments, read);
    ProgramRun run;
    if (!child.Started()) return run;
    for (std::string part = child.Read(4096); !part.empty(); part = child.Read(4096)) run.text += part;
    run.status = child.Finish();
    return run;
}

}  // namespace nerolin::test
