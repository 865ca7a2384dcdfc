#pragma once

// The hash algorithms a signing service may name. A session carries its
// algorithm as the dotted OID text the service sent, compared by exact bytes
// (no trimming, case-sensitive). The empty text is legal and means "sign the
// bytes as they are": no length check, and for RSA no DigestInfo in the
// PKCS#1 v1.5 padding. Any other unknown text makes signing fail.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace nerolin {

struct HashAlgorithm {
    std::string_view oid;      // "2.16.840.1.101.3.4.2.1"
    std::string_view name;     // "SHA-256"
    std::size_t digestLength;  // bytes
    // DER of DigestInfo up to the digest (RFC 8017, 9.2, note 1), for the
    // providers that build the PKCS#1 v1.5 encoding themselves.
    std::span<const std::uint8_t> digestInfoPrefix;
};

// SHA-1, SHA-256, SHA-384, SHA-512, in that order.
std::span<const HashAlgorithm> HashAlgorithms();

// The entry whose OID equals oid exactly; nullptr for the empty text and for
// anything unknown.
const HashAlgorithm* FindHashAlgorithm(std::string_view oid);

}  // namespace nerolin
