#pragma once

// The few system calls the tests make themselves; each system's part is in
// linux/ or windows/.

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace nerolin::test {

// Sets a variable of this process's environment; nullptr removes it. A
// change of TZ takes effect at once.
void SetEnvironment(const char* name, const char* value);

// A variable of this process's environment, and so of the programs it
// starts, set while the object lives; the value before comes back after.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name)
    {
        if (const char* before = std::getenv(name)) previous_ = before;
        SetEnvironment(name, value.c_str());
    }
    ~ScopedEnvironment() { SetEnvironment(name_.c_str(), previous_ ? previous_->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// A new, empty folder of a name no one else has, below base, made with
// this user's access alone; empty when it could not be made.
std::string MakeUniqueFolder(const std::filesystem::path& base, const std::string& prefix);

// The inverse of gmtime: seconds since 1970 of calendar fields in UTC.
std::time_t UtcSeconds(std::tm& fields);

// Text with "\n" line ends as this system's programs write it to a text
// stream (standard output and error): unchanged on Linux, "\r\n" on Windows.
std::string WithSystemLineEnds(const std::string& text);

}  // namespace nerolin::test
