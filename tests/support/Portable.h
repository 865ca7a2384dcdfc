#pragma once

// The few system calls the tests make themselves; each system's part is in
// linux/ or windows/.

#include <ctime>
#include <filesystem>
#include <string>

namespace nerolin::test {

// Sets a variable of this process's environment; nullptr removes it. A
// change of TZ takes effect at once.
void SetEnvironment(const char* name, const char* value);

// A new, empty folder of a name no one else has, below base, made with
// this user's access alone; empty when it could not be made.
std::string MakeUniqueFolder(const std::filesystem::path& base, const std::string& prefix);

// The inverse of gmtime: seconds since 1970 of calendar fields in UTC.
std::time_t UtcSeconds(std::tm& fields);

// Text with "\n" line ends as this system's programs write it to a text
// stream (standard output and error): unchanged on Linux, "\r\n" on Windows.
std::string WithSystemLineEnds(const std::string& text);

}  // namespace nerolin::test
