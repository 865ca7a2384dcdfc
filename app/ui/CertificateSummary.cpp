#include "app/ui/CertificateSummary.h"

#include <ctime>
#include <memory>

#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <QLocale>
#include <QTimeZone>

#include "common/CertificateText.h"

namespace nerolin {
namespace {

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct BignumFree {
    void operator()(BIGNUM* number) const { BN_free(number); }
};
struct OpenSslStringFree {
    void operator()(char* text) const { OPENSSL_free(text); }
};

QString CommonNameOr(const X509_NAME* name, const QString& fallback)
{
    const int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (index < 0) {
        return fallback;
    }
    const ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, value);
    if (length < 0) {
        return fallback;
    }
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(utf8), length);
    OPENSSL_free(utf8);
    return text.isEmpty() ? fallback : text;
}

QDateTime ToDateTime(const ASN1_TIME* time)
{
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) {
        return {};
    }
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), QTimeZone::utc());
}

QString SerialText(const X509* certificate)
{
    std::unique_ptr<BIGNUM, BignumFree> number(ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr));
    if (!number) {
        return {};
    }
    std::unique_ptr<char, OpenSslStringFree> hex(BN_bn2hex(number.get()));
    return hex ? QString::fromLatin1(hex.get()) : QString();
}

QString Sha256Text(const X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) {
        return {};
    }
    QString text = QString::fromStdString(HexEncode(digest, length));
    for (qsizetype i = text.size() - 2; i > 0; i -= 2) {
        text.insert(i, u':');
    }
    return text;
}

}  // namespace

std::optional<CertificateSummary> SummarizeCertificate(const Bytes& der)
{
    const unsigned char* cursor = der.data();
    std::unique_ptr<X509, X509Free> certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    if (!certificate) {
        return std::nullopt;
    }
    CertificateSummary summary;
    summary.subject = QString::fromStdString(CertNameString(certificate.get(), CertNameType::Rdn, 0));
    summary.issuer = QString::fromStdString(CertNameString(certificate.get(), CertNameType::Rdn, kCertNameIssuerFlag));
    summary.issuedTo = CommonNameOr(X509_get_subject_name(certificate.get()), summary.subject);
    summary.issuedBy = CommonNameOr(X509_get_issuer_name(certificate.get()), summary.issuer);
    summary.serialNumber = SerialText(certificate.get());
    summary.validFrom = ToDateTime(X509_get0_notBefore(certificate.get()));
    summary.validTo = ToDateTime(X509_get0_notAfter(certificate.get()));
    summary.sha256Fingerprint = Sha256Text(certificate.get());
    return summary;
}

QString TwoLines(const QString& fingerprint)
{
    // "AB:CD:...": three characters per byte, the last without its colon.
    const qsizetype bytes = (fingerprint.size() + 1) / 3;
    if (bytes < 2) {
        return fingerprint;
    }
    const qsizetype cut = (bytes / 2) * 3;
    return fingerprint.left(cut) + QLatin1Char('\n') + fingerprint.mid(cut);
}

QString FormatValidityTime(const QDateTime& time)
{
    if (!time.isValid()) {
        return {};
    }
    return QLocale().toString(time.toLocalTime(), QLocale::ShortFormat);
}

}  // namespace nerolin
