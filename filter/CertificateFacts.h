#pragma once

// What one certificate test reads from the certificate, made and released
// inside one PassesFilter call.

#include <string>
#include <string_view>

#include "common/OpenSslOwners.h"
#include "filter/QcStatements.h"

namespace nerolin {

struct CertificateFacts {
    X509Ptr certificate;  // null when the bytes did not decode
    QcFindings qc;
};

// SHA-1 of the DER as 40 upper-case hexadecimal digits; empty without a
// certificate or when the digest fails.
std::string CertificateFingerprint(const X509* certificate);

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace nerolin
