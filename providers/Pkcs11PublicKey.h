#pragma once

// OpenSSL public keys built from the attributes of PKCS#11 public-key
// objects, to be compared with a certificate's key.

#include "common/OpenSslOwners.h"
#include "common/Text.h"

namespace nerolin {

// From the big-endian CKA_MODULUS and CKA_PUBLIC_EXPONENT; null on failure.
EvpPkeyPtr RsaPublicKey(const Bytes& modulus, const Bytes& exponent);

// From the DER CKA_EC_PARAMS (a named curve) and CKA_EC_POINT. Modules
// differ in how they store the point: wrapped in a DER OCTET STRING, as the
// standard says, or bare. A wrapped point is tried first; when that gives no
// key, the bytes themselves are (a bare point may happen to parse as an
// OCTET STRING). Null on failure.
EvpPkeyPtr EcPublicKey(const Bytes& parameters, const Bytes& point);

}  // namespace nerolin
