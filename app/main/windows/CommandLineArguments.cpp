#include <windows.h>

#include <shellapi.h>

#include "app/main/Application.h"

namespace nerolin {
namespace {

// The text after the program path, as the system's argument rules skip it.
std::wstring_view TextAfterProgram(std::wstring_view line)
{
    std::size_t at = 0;
    if (!line.empty() && line.front() == L'"') {
        const std::size_t closing = line.find(L'"', 1);
        at = closing == std::wstring_view::npos ? line.size() : closing + 1;
    } else {
        at = line.find_first_of(L" \t");
        if (at == std::wstring_view::npos) at = line.size();
    }
    line.remove_prefix(at);
    const std::size_t text = line.find_first_not_of(L" \t");
    return text == std::wstring_view::npos ? std::wstring_view() : line.substr(text);
}

std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

std::vector<std::u16string> CommandLineArguments(int, char**)
{
    const wchar_t* line = GetCommandLineW();
    const std::wstring_view rest = TextAfterProgram(line);
    // A link with raw JSON in it arrives as one quoted text with more double
    // quotes inside, which the argument rules would tear apart: it goes to
    // CommandLine's quote rule whole.
    if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"') {
        const std::size_t begin = rest.find_first_not_of(L'"');
        if (begin != std::wstring_view::npos &&
            rest.substr(begin, rest.find_last_not_of(L'"') - begin + 1).find(L'"') != std::wstring_view::npos) {
            return {Utf16(rest)};
        }
    }
    std::vector<std::u16string> arguments;
    int count = 0;
    wchar_t** split = CommandLineToArgvW(line, &count);
    if (split == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Utf16(split[i]));
    LocalFree(split);
    return arguments;
}

}  // namespace nerolin
