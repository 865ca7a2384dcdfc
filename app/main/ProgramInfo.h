#pragma once

// "--help" and "--version", the two flags that only print: answered before
// any QApplication exists, so they work without a display and touch no
// settings, event log or session.

#include <optional>

namespace nerolin {

// The exit status when the first parameter asks for the usage or the
// version (printed on standard output); nullopt for every other command line.
std::optional<int> AnswerInfoRequest(int argc, char** argv);

}  // namespace nerolin
