#pragma once

// The name a PIN question shows for the certificate whose key the PIN
// unlocks: the subject's common name, or, without one, the first of its
// e-mail address, organizational unit and organization.

#include <string>

#include <openssl/x509.h>

#include "common/Text.h"

namespace nerolin {

std::string CertificateHolder(const X509* certificate);
// The same for a DER certificate; empty when the bytes are no certificate.
std::string CertificateHolder(const Bytes& der);

}  // namespace nerolin
