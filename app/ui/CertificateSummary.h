#pragma once

// What the certificate dialogs show of a DER certificate.

#include <optional>

#include <QDateTime>
#include <QString>

#include "common/Text.h"

namespace nerolin {

struct CertificateSummary {
    QString issuedTo;  // common name of the subject, else its whole name
    QString issuedBy;  // common name of the issuer, else its whole name
    QString subject;   // distinguished names with their attributes' short names: "C=HU, O=..., CN=..."
    QString issuer;
    QString key;           // algorithm and size: "RSA, 2048 bits"
    QString keyUsage;      // the key usage extension's bits, comma-separated; empty without one
    QString serialNumber;  // upper-case hexadecimal
    QDateTime validFrom;   // UTC
    QDateTime validTo;
    QString sha256Fingerprint;  // "AB:CD:..."
};

// nullopt when the bytes are not a certificate.
std::optional<CertificateSummary> SummarizeCertificate(const Bytes& der);

// A long fingerprint split after its middle byte, so the dialogs stay narrow.
QString TwoLines(const QString& fingerprint);

// A validity time as the user's locale writes a date and time.
QString FormatValidityTime(const QDateTime& time);

}  // namespace nerolin
