#pragma once

// The server's certificates as the TLS handshake saw them. When the chain is
// refused, the end certificate, the reason and the chain that was presented
// are kept: the signing service's certificate can then be offered to the
// user, and the whitelist host's chain can still be put to the server-trust
// test so that its entries say which root it ended in. Certificates the user
// accepted for this host are trusted, each exactly as it stands.

#include <string>
#include <vector>

#include <openssl/ssl.h>

#include "common/OpenSslOwners.h"
#include "common/Text.h"

namespace nerolin {

class TlsPeer {
public:
    // Called from libcurl's SSL context hook before the handshake.
    void Attach(SSL_CTX* context);

    void SetAccepted(std::vector<Bytes> certificates) { accepted_ = std::move(certificates); }

    bool HasRefused() const { return !refused_.empty(); }
    const Bytes& Refused() const { return refused_; }
    const std::string& RefusedReason() const { return reason_; }
    // End certificate first, then the others in the order the server sent them.
    const std::vector<X509Ptr>& RefusedChain() const { return refusedChain_; }

private:
    static int OnVerify(int preverified, X509_STORE_CTX* store);

    std::vector<Bytes> accepted_;
    Bytes refused_;
    std::string reason_;
    std::vector<X509Ptr> refusedChain_;
};

// Subject and SHA-256 fingerprint of a DER certificate, for event entries.
std::string CertificateDescription(const Bytes& certificate);

}  // namespace nerolin
