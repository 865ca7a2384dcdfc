#pragma once

// What a certificate's qcStatements extension (ETSI EN 319 412-5, RFC 3739)
// declares, as far as the filter asks about it.

#include <openssl/x509.h>

#include "filter/CertificateFilter.h"

namespace nerolin {

struct QcFindings {
    bool hasQCStatement = false;      // the extension is there, even if it does not decode
    bool hasQCCompliance = false;     // 0.4.0.1862.1.1
    bool hasQCQSCD = false;           // 0.4.0.1862.1.4
    QcType qcType = QcType::Unknown;  // the last OID of the QcType statement decides
};

// From the first qcStatements extension of certificate; all false and
// Unknown without one. Whatever fails to decode leaves its finding as it was.
QcFindings ReadQcStatements(const X509* certificate);

}  // namespace nerolin
