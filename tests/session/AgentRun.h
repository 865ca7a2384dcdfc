#pragma once

// The real program started with a link against the reference service, with
// nobody at the desktop, and what it showed the user. Each system's part is
// in linux/ or windows/: on Linux the program runs without a display and
// its message boxes become "Nerolin: " lines on standard error; on Windows
// the desktop is always there, so its development build's scripted prompts
// (NEROLIN_TEST_PROMPTS) write each box into a transcript in place of
// showing it.

#include <string>
#include <vector>

#include "tests/support/DevService.h"

namespace nerolin::test {

struct AgentRun {
    int exitStatus = -1;
    // The texts of the message boxes in order, each on one line as the
    // console shows it: a line break inside a text reads as a space.
    std::vector<std::string> messages;
    std::string otherOutput;  // anything else it wrote or asked
};

// The service's CA is the system's trust for the run, its whitelist the
// program's, and the program speaks English.
AgentRun RunAgent(const DevService& service, const std::string& link);

}  // namespace nerolin::test
