#pragma once

// The modules registered with p11-kit (the system's and the user's module
// files), by name and library, as p11-kit's proxy offers them to NSS. Kept
// apart from NSS's declarations, which cannot meet p11-kit's in one file.

#include <string>
#include <vector>

namespace nerolin {

struct P11KitModule {
    std::string name;     // the module file's name ("opensc", "softhsm2")
    std::string library;  // the library path p11-kit loads
};

// Loads the registered modules' libraries without initializing them (no
// token is touched) and releases them again; empty when p11-kit finds none
// or cannot read its configuration.
std::vector<P11KitModule> P11KitModules();

}  // namespace nerolin
