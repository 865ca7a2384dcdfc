#pragma once

// Finding the private key that belongs to a certificate on a token: by the
// certificate object's CKA_ID, or, when no private key carries it, by the
// CKA_ID of the public-key object whose key equals the certificate's.

#include <optional>

#include <openssl/x509.h>

#include "common/Text.h"
#include "providers/Pkcs11.h"

namespace nerolin {

class Pkcs11Session;

// The last private-key object with CKA_ID = id; nullopt when none matched
// or the search failed (the failure is logged).
std::optional<CK_OBJECT_HANDLE> FindPrivateKey(const Pkcs11Session& session, const Bytes& id);

// The CKA_ID of the first public-key object (RSA or EC) whose key equals
// the certificate's public key; nullopt when there is none.
std::optional<Bytes> FindKeyIdByPublicKey(const Pkcs11Session& session, X509* certificate);

}  // namespace nerolin
