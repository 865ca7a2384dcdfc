#include "app/ui/CertificateSummary.h"

#include <cstdint>
#include <ctime>
#include <memory>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <QLocale>
#include <QStringList>
#include <QTimeZone>

#include "app/ui/UiText.h"
#include "common/CertificateText.h"
#include "common/StringIds.h"

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

QString NameWithAttributes(const X509_NAME* name)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    if (!bio) {
        return {};
    }
    const unsigned long flags = XN_FLAG_SEP_CPLUS_SPC | XN_FLAG_FN_SN | XN_FLAG_DUMP_UNKNOWN_FIELDS |
                                (ASN1_STRFLGS_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    if (X509_NAME_print_ex(bio.get(), name, 0, flags) < 0) {
        return {};
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return QString::fromUtf8(data, static_cast<qsizetype>(length));
}

QString KeyText(X509* certificate)
{
    const EVP_PKEY* key = X509_get0_pubkey(certificate);
    if (key == nullptr) {
        return {};
    }
    const char* type = EVP_PKEY_get0_type_name(key);
    const QString name = type != nullptr ? QString::fromLatin1(type) : QString();
    return UiText(strings::kKeyDescription)
        .replace(QLatin1String("%s"), name)
        .replace(QLatin1String("%d"), QString::number(EVP_PKEY_get_bits(key)));
}

QString KeyUsageText(X509* certificate)
{
    const std::uint32_t usage = X509_get_key_usage(certificate);
    if (usage == UINT32_MAX) {
        return {};  // no key usage extension: any use
    }
    static constexpr std::pair<std::uint32_t, int> kBits[] = {
        {KU_DIGITAL_SIGNATURE, strings::kUsageDigitalSignature},
        {KU_NON_REPUDIATION, strings::kUsageNonRepudiation},
        {KU_KEY_ENCIPHERMENT, strings::kUsageKeyEncipherment},
        {KU_DATA_ENCIPHERMENT, strings::kUsageDataEncipherment},
        {KU_KEY_AGREEMENT, strings::kUsageKeyAgreement},
        {KU_KEY_CERT_SIGN, strings::kUsageCertificateSigning},
        {KU_CRL_SIGN, strings::kUsageCrlSigning},
    };
    QStringList names;
    for (const auto& [bit, text] : kBits) {
        if ((usage & bit) != 0) {
            names << UiText(text);
        }
    }
    return names.join(QStringLiteral(", "));
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
    summary.subject = NameWithAttributes(X509_get_subject_name(certificate.get()));
    summary.issuer = NameWithAttributes(X509_get_issuer_name(certificate.get()));
    summary.key = KeyText(certificate.get());
    summary.keyUsage = KeyUsageText(certificate.get());
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
