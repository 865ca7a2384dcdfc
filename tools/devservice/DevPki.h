#pragma once

// The development PKI (testdata/pki) as the service uses it: signing
// certificates and keys by name, TLS files by name or path.

#include <optional>
#include <string>

#include "common/OpenSslOwners.h"
#include "common/Text.h"

namespace nerolin::devservice {

class DevPki {
public:
    explicit DevPki(std::string directory) : directory_(std::move(directory)) {}

    const std::string& Directory() const { return directory_; }
    std::string Path(const std::string& relative) const { return directory_ + "/" + relative; }

    // signing/NAME.pem and signing/NAME.key.
    X509Ptr SigningCertificate(const std::string& name) const;
    EvpPkeyPtr SigningKey(const std::string& name) const;

    // A whitelist-host or service TLS identity: NAME is a file name in
    // whitelist/ or service/ without extension, or a path to a chain PEM
    // whose key lies beside it, named as the chain with ".key" for its
    // ".fullchain.pem", ".chain.pem" or ".pem" (a full chain also sends the root).
    struct TlsFiles {
        std::string chain;
        std::string key;
    };
    std::optional<TlsFiles> TlsIdentity(const std::string& folder, const std::string& name) const;

private:
    std::string directory_;
};

// PEM text of a certificate as the agent writes and reads it: the Base64 of
// the DER between header and footer lines, 64-character lines, CR LF.
std::string CertificateText(X509* certificate);
// Reads such a text (CR LF or LF); null when it is not a certificate.
X509Ptr ParseCertificateText(const std::string& text);

// Base64 without line breaks; decoding skips CR, LF, space and tab.
std::string Base64(const Bytes& bytes);
std::optional<Bytes> FromBase64(std::string_view text);

}  // namespace nerolin::devservice
