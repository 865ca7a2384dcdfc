#pragma once

// Subcommands of nerolin-tool register themselves, one file each:
//
//   static const nerolin::tool::Registration kLink{
//       "link", "link --session-url URL --session-id ID [--mode MODE]", RunLink};
//
// A subcommand returns the process's exit status.

#include <string>
#include <vector>

namespace nerolin::tool {

using Arguments = std::vector<std::string>;  // the words after the subcommand's name
using Handler = int (*)(const Arguments& arguments);

struct Registration {
    Registration(const char* name, const char* usage, Handler handler);
};

}  // namespace nerolin::tool
