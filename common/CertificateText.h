#pragma once

// Names and fingerprints of X.509 certificates, in the text forms that the
// users, the event log and the service see.

#include <string>

#include <openssl/x509.h>

namespace nerolin {

enum class CertNameType {
    Rdn = 2,        // the distinguished name: attribute values in encoded order, ", " between
    Attribute = 3,  // first present of e-mail address, common name, organizational unit, organization
};

constexpr unsigned kCertNameIssuerFlag = 1;

// UTF-8. A null certificate gives the empty text.
std::string CertNameString(const X509* certificate, CertNameType type, unsigned flags);

// SHA-1 of the DER encoding as 40 upper-case hexadecimal digits; empty on failure.
std::string CertThumbprint(const X509* certificate);

}  // namespace nerolin
