#pragma once

// A p11-kit configuration of a test's own, so that a program of the test
// meets through p11-kit's proxy exactly the modules the test registered,
// whatever the machine registers (Debian's softhsm2 package registers
// SoftHSM, which would then show the test's tokens a second time).

#include <string>
#include <utility>
#include <vector>

namespace nerolin::test {

// Gives this process and the children it starts afterwards the modules
// given as (name, library path) pairs, and none of the machine's. p11-kit
// reads no user configuration for root, so for root this process moves into
// a mount namespace of its own with folder over the machine's module
// folders (call it while the process has a single thread); anyone else gets
// a user configuration in $XDG_CONFIG_HOME/pkcs11 that keeps each machine
// module out of the proxy and adds the test's. Empty on success, else what
// failed.
std::string UsePrivateP11KitConfig(const std::string& folder,
                                   const std::vector<std::pair<std::string, std::string>>& modules = {});

}  // namespace nerolin::test
