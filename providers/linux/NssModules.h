#pragma once

// The modules NSS serves besides those the database registers, and the
// registered ones it could not load.

#include <string>
#include <vector>

#include <secmodt.h>

namespace nerolin {

// p11-kit's proxy module, where the build's p11-kit says it is installed
// (Debian: package p11-kit-modules).
std::string P11KitProxyModule();

// Loads p11-kit's proxy into NSS for this process when the database does
// not register it already, so that the modules that the system and the user
// register with p11-kit (OpenSC, a card maker's file in
// /usr/share/p11-kit/modules, ~/.config/pkcs11/modules) are offered without
// any setup, as on distributions whose NSS loads the proxy itself. The
// database is not written. Null when nothing was loaded: the database has
// the proxy, the proxy is not installed, or it failed to load (an error
// entry only). Unload it with UnloadP11KitProxy before NSS shuts down.
SECMODModule* LoadP11KitProxy();
void UnloadP11KitProxy(SECMODModule* proxy);

// A module that the database registers but NSS did not load.
struct UnloadedModule {
    std::string name;
    std::string library;
    std::string reason;  // the loader's text, or why a library that loads is no module
};

// The registered modules that NSS did not load: NSS drops them without a
// word, and the user would see only that the card's certificates are not
// there.
std::vector<UnloadedModule> FindUnloadedModules();

}  // namespace nerolin
