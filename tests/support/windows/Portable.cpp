#include "tests/support/Portable.h"

#include <stdlib.h>
#include <time.h>

#include <random>

namespace nerolin::test {

void SetEnvironment(const char* name, const char* value)
{
    // An empty value removes a variable on Windows, as nullptr does here.
    _putenv_s(name, value != nullptr ? value : "");
    // The C library reads TZ once, unless told to read it again.
    if (std::string(name) == "TZ") _tzset();
}

// The folder inherits the access of the user's temporary folder, which is
// the user's alone.
std::string MakeUniqueFolder(const std::filesystem::path& base, const std::string& prefix)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / (prefix + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) return candidate.generic_string();
    }
    return {};
}

std::time_t UtcSeconds(std::tm& fields) { return _mkgmtime(&fields); }

std::string WithSystemLineEnds(const std::string& text)
{
    std::string written;
    written.reserve(text.size());
    for (char c : text) {
        if (c == '\n') written.push_back('\r');
        written.push_back(c);
    }
    return written;
}

}  // namespace nerolin::test
