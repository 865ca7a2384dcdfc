#pragma once

// OpenSSL's verdict on a signature a provider made, in the form the service
// receives it.

#include <string>

#include <gtest/gtest.h>

#include "common/Text.h"

namespace nerolin::test {

// Whether signatureText (Base64, 64-character lines each ended by CR LF) is
// a valid signature of hash under the public key of the certificate
// identity of testdata/pki/signing: RSA PKCS#1 v1.5 with the DigestInfo of
// hashAlgorithm (a dotted OID; none for the empty text), EC as raw r || s.
::testing::AssertionResult SignatureVerifies(const std::string& identity, const std::string& hashAlgorithm,
                                             const Bytes& hash, const std::string& signatureText);

}  // namespace nerolin::test
