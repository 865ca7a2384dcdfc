#pragma once

// One signature with an NSS private key, in the forms the service expects:
// RSA as PKCS#1 v1.5 (CKM_RSA_PKCS) over the DigestInfo of the hash
// algorithm and the hash, or over the bytes as they are for the empty
// algorithm; EC and DSA as the raw concatenation r || s.

#include <cstdint>
#include <string>

#include <keythi.h>

#include "common/Text.h"
#include "providers/KeyType.h"
#include "providers/linux/NssPinCallback.h"
#include "providers/SigningResult.h"

namespace nerolin {

// An unknown key type or an unknown non-empty algorithm fails without an NSS
// call. A failed NSS call is reported (not for a cancel) and its result
// tells PIN problems apart from other failures.
SigningResult SignWithKey(SECKEYPrivateKey* key, KeyType keyType, const std::string& hashAlgorithm,
                          const std::uint8_t* hash, std::int32_t length, PinContext& pins, Bytes& signature);

}  // namespace nerolin
