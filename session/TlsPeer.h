#pragma once

// The signing service's certificate as the TLS handshake saw it: when the
// system does not trust it, the certificate and the reason are kept so the
// user can be asked; a certificate the user accepted is then trusted, alone,
// for the repeated request.

#include <string>

#include <openssl/ssl.h>

#include "common/Text.h"

namespace nerolin {

class TlsPeer {
public:
    // Called from libcurl's SSL context hook before the handshake.
    void Attach(SSL_CTX* context);

    void SetAccepted(const Bytes& certificate) { accepted_ = certificate; }

    bool HasRefused() const { return !refused_.empty(); }
    const Bytes& Refused() const { return refused_; }
    const std::string& RefusedReason() const { return reason_; }
    // Subject and SHA-256 fingerprint, for the event entry.
    std::string RefusedDescription() const;

private:
    static int OnVerify(int preverified, X509_STORE_CTX* store);

    Bytes accepted_;
    Bytes refused_;
    std::string reason_;
};

}  // namespace nerolin
