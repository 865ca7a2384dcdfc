#pragma once

// A Windows command line made of words, as the C runtime of the child (or
// Wine, for a Unix program) splits it again.

#include <string>
#include <vector>

#include "platform/windows/WideText.h"

namespace nerolin::test {

// One word in quotes, with a quote and the backslashes before one (or
// before the closing quote) escaped.
inline std::wstring QuotedWord(const std::wstring& word)
{
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

// The program's path with '\' between names, then the arguments (UTF-8).
inline std::wstring CommandLineOf(const std::string& program, const std::vector<std::string>& arguments)
{
    std::wstring path = WideText(program);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    std::wstring commandLine = QuotedWord(path);
    for (const std::string& argument : arguments) commandLine += L" " + QuotedWord(WideText(argument));
    return commandLine;
}

}  // namespace nerolin::test
