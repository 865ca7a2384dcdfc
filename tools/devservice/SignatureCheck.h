#pragma once

// Verifies the signatures that an agent posts for the service's hashes, the
// way a relying service would: RSA PKCS#1 v1.5 over a DigestInfo when the
// session names a hash algorithm and over the bare hash bytes when it names
// none; ECDSA signatures as the fixed-length concatenation r || s.

#include <optional>
#include <string>
#include <string_view>

#include <openssl/evp.h>

#include "common/Text.h"

namespace nerolin::devservice {

// The digest for a hash-algorithm OID text of the session; null for the
// empty text and for an OID the service does not know.
const EVP_MD* DigestForOid(std::string_view oid);

// Digest of data with the OID's algorithm; nullopt for an unknown OID.
std::optional<Bytes> DigestBytes(std::string_view oid, std::string_view data);

// The DER DigestInfo of SHA-256(data): what a service sends as the hash when
// it names no hash algorithm and the key is RSA.
Bytes Sha256DigestInfo(std::string_view data);

struct SignatureVerdict {
    bool valid = false;
    std::string detail;  // why it is not valid; empty when valid
};

// hash is what the service sent (decoded); signature what the agent posted
// (decoded). hashAlgorithmOid may be empty.
SignatureVerdict VerifyHashSignature(EVP_PKEY* publicKey, std::string_view hashAlgorithmOid, const Bytes& hash,
                                     const Bytes& signature);

}  // namespace nerolin::devservice
