#pragma once

// What Nerolin takes from its command line: only the first parameter, and
// whether it was a flag ("-" or "/" in front, removed here).

#include <string>
#include <vector>

namespace nerolin {

struct CommandLine {
    int parameterIndex = -1;  // incremented for every parameter seen
    bool firstParameterIsFlag = false;
    std::u16string firstParameter;  // without its "-" or "/"

    // The arguments after the program name, as the system split them.
    //
    // The quote rule first: when the arguments, joined by single spaces,
    // begin and end with a double quote, every leading and trailing double
    // quote is stripped; if the rest is not empty and still holds a double
    // quote, that rest is the first parameter as it stands (never a flag).
    // This keeps a link that carries raw JSON in one piece. Otherwise every
    // argument is read in turn.
    void ParseArguments(const std::vector<std::u16string>& arguments);

    // One argument; only the first one is kept.
    void AddArgument(std::u16string parameter);
};

}  // namespace nerolin
