#pragma once

// Where the system keeps the roots it trusts, for a TLS client that checks
// a server against them (the signing service).

#include <string>

namespace nerolin {

struct SystemTrustSource {
    // The platform's own certificate store (Windows): the client asks it,
    // with no file or folder of its own.
    bool nativeStore = false;
    // Otherwise a bundle file and a folder of hashed certificates; empty
    // names leave the TLS library's defaults (Linux: SSL_CERT_FILE and
    // SSL_CERT_DIR when set).
    std::string bundleFile;
    std::string certificateFolder;
};

SystemTrustSource SystemTrust();

}  // namespace nerolin
