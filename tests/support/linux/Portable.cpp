#include "tests/support/Portable.h"

#include <stdlib.h>

namespace nerolin::test {

void SetEnvironment(const char* name, const char* value)
{
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

std::string MakeUniqueFolder(const std::filesystem::path& base, const std::string& prefix)
{
    std::string pattern = (base / (prefix + "XXXXXX")).string();
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

std::time_t UtcSeconds(std::tm& fields) { return timegm(&fields); }

std::string WithSystemLineEnds(const std::string& text) { return text; }

}  // namespace nerolin::test
