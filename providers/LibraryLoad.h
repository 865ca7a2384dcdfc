#pragma once

// Loading a module or library with dlopen, as the alternative providers do,
// and the entry its failure writes.

#include <string>

namespace nerolin {

// dlopen has no error number of its own: errno tells what the last file
// operation of the search met (often nothing), the loader's text names the
// file and what was wrong with it.
struct LoadFailure {
    int code = 0;
    std::string text;
};

// dlopen(file, RTLD_NOW | RTLD_LOCAL); null on failure, described in failure.
void* OpenLibrary(const std::string& file, LoadFailure& failure);

// The error entry "dlopen error: <errno> (0x...): <the loader's text>". No
// message box: a provider that cannot load leaves signing to NSS, and the
// user is not asked about that.
void WriteLoadFailure(const LoadFailure& failure);

}  // namespace nerolin
