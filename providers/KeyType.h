#pragma once

// The kind of the chosen certificate's public key, decided from the
// certificate's public-key algorithm OID.

#include <string_view>

#include "common/Text.h"

namespace nerolin {

enum class KeyType : int {
    Unknown = 0,
    RSA = 1,  // 1.2.840.113549.1.1.1
    DSA = 2,  // 1.2.840.10040.4.1
    EC = 3,   // 1.2.840.10045.2.1
};

// From the dotted OID text of the public-key algorithm; Unknown for any other.
KeyType KeyTypeFromAlgorithmOid(std::string_view oid);

// The kind of a DER certificate's key, with the information entries
// "Issuer DN of signing certificate: <issuer>" and "Type of key is RSA"
// (DSA, EC, unknown). Bytes that are no certificate give Unknown and no entry.
KeyType DetectKeyType(const Bytes& certificate);

}  // namespace nerolin
