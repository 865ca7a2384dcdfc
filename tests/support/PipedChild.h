#pragma once

// A program run as a child process whose standard input and output are
// pipes held by the test: the test writes to it, reads what it prints and
// waits for its exit status. Each system's part is in linux/ or windows/
// (posix_spawn there, CreateProcessW here).

#include <memory>
#include <string>
#include <vector>

namespace nerolin::test {

class PipedChild {
public:
    // Started() tells whether the program runs.
    PipedChild(const std::string& program, const std::vector<std::string>& arguments);
    // Finish(), unless it was called.
    ~PipedChild();
    PipedChild(PipedChild&&) noexcept;
    PipedChild& operator=(PipedChild&&) noexcept;

    bool Started() const;
    // Writes all of text to the child's input.
    bool Write(const std::string& text);
    // What one read of the child's output gives, at most `most` bytes; empty
    // at its end.
    std::string Read(std::size_t most);
    // Closes both pipes and waits for the end: the exit status, or -1 when
    // the child did not exit normally or never started.
    int Finish();

    struct Handles;

private:
    std::unique_ptr<Handles> handles_;
};

}  // namespace nerolin::test
