#pragma once

// Signs a service's hash the way a signing application must: the inverse of
// VerifyHashSignature (RSA PKCS#1 v1.5 with a DigestInfo when an algorithm is
// named, without one when not; ECDSA as r || s).

#include <optional>
#include <string_view>

#include <openssl/evp.h>

#include "common/Text.h"

namespace nerolin::devservice {

std::optional<Bytes> SignHashBytes(EVP_PKEY* privateKey, std::string_view hashAlgorithmOid, const Bytes& hash);

}  // namespace nerolin::devservice
