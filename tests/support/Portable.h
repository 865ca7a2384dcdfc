#pragma once

// The few system calls the tests make themselves, on Linux and on Windows.

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#ifdef _WIN32
#include <time.h>
#else
#include <stdlib.h>
#endif

namespace nerolin::test {

// Sets a variable of this process's environment; nullptr removes it.
inline void SetEnvironment(const char* name, const char* value)
{
#ifdef _WIN32
    // An empty value removes a variable on Windows, as nullptr does here.
    _putenv_s(name, value != nullptr ? value : "");
    // The C library reads TZ once, unless told to read it again.
    if (std::string(name) == "TZ") _tzset();
#else
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

// A new, empty folder of a name no one else has, below base, made with
// this user's access alone; empty when it could not be made.
inline std::string MakeUniqueFolder(const std::filesystem::path& base, const std::string& prefix)
{
#ifdef _WIN32
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / (prefix + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) return candidate.generic_string();
    }
    return {};
#else
    std::string pattern = (base / (prefix + "XXXXXX")).string();
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
#endif
}

// The inverse of gmtime: seconds since 1970 of calendar fields in UTC.
inline std::time_t UtcSeconds(std::tm& fields)
{
#ifdef _WIN32
    return _mkgmtime(&fields);
#else
    return timegm(&fields);
#endif
}

}  // namespace nerolin::test
