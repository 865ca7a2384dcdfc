#include "filter/CertificateMatching.h"

#include <climits>

#include <openssl/evp.h>

#include "common/Text.h"
#include "filter/CertificateFacts.h"

namespace nerolin {
namespace {

struct UsageBit {
    std::optional<bool> KeyUsageCriteria::*field;
    std::uint32_t bit;  // as X509_get_key_usage reports it
    const char* name;
};

// decipherOnly is the ninth bit of the DER BIT STRING, which OpenSSL folds
// into 0x8000 (not 0x0100).
constexpr UsageBit kUsageBits[] = {
    {&KeyUsageCriteria::digitalSignature, 0x0080, "keyUsage.digitalSignature"},
    {&KeyUsageCriteria::nonRepudiation, 0x0040, "keyUsage.nonRepudiation"},
    {&KeyUsageCriteria::keyEncipherment, 0x0020, "keyUsage.keyEncipherment"},
    {&KeyUsageCriteria::dataEncipherment, 0x0010, "keyUsage.dataEncipherment"},
    {&KeyUsageCriteria::keyAgreement, 0x0008, "keyUsage.keyAgreement"},
    {&KeyUsageCriteria::keyCertSign, 0x0004, "keyUsage.keyCertSign"},
    {&KeyUsageCriteria::cRLSign, 0x0002, "keyUsage.cRLSign"},
    {&KeyUsageCriteria::encipherOnly, 0x0001, "keyUsage.encipherOnly"},
    {&KeyUsageCriteria::decipherOnly, 0x8000, "keyUsage.decipherOnly"},
};

// The certificate's identifier decides which fields are compared. A field
// the certificate carries but the entry lacks cannot be checked, so the
// entry does not match: a criterion that cannot be checked never admits.
bool IdentifierMatches(const AuthorityKeyIdentifier& entry, const AuthorityKeyIdentifier& certificate)
{
    if (certificate.keyIdentifier &&
        (!entry.keyIdentifier || !EqualIgnoringAsciiCase(*entry.keyIdentifier, *certificate.keyIdentifier)))
        return false;
    if (certificate.authorityCertIssuer &&
        (!entry.authorityCertIssuer || *entry.authorityCertIssuer != *certificate.authorityCertIssuer))
        return false;
    if (certificate.authorityCertSerialNumber &&
        (!entry.authorityCertSerialNumber ||
         !SerialNumbersEqual(*entry.authorityCertSerialNumber, *certificate.authorityCertSerialNumber)))
        return false;
    return true;
}

// The name of the first criterion of the set that does not hold, in the
// order they are tested; nullptr when the set matches.
const char* FirstFailingCriterion(const CertificateCriteria& criteria, const CertificateFacts& facts)
{
    X509* certificate = facts.certificate.get();
    if (criteria.keyUsage) {
        const std::uint32_t bits = certificate ? X509_get_key_usage(certificate) : 0;
        for (const auto& usage : kUsageBits) {
            const auto& wanted = (*criteria.keyUsage).*usage.field;
            if (wanted && *wanted != ((bits & usage.bit) != 0)) return usage.name;
        }
    }
    if (criteria.hasQCStatement && *criteria.hasQCStatement != facts.qc.hasQCStatement) return "hasQCStatement";
    if (criteria.hasQCCompliance && *criteria.hasQCCompliance != facts.qc.hasQCCompliance) return "hasQCCompliance";
    if (criteria.hasQCQSCD && *criteria.hasQCQSCD != facts.qc.hasQCQSCD) return "hasQCQSCD";
    if (criteria.qcType && *criteria.qcType != facts.qc.qcType) return "qcType";
    if (criteria.fingerprint && !EqualIgnoringAsciiCase(*criteria.fingerprint, CertificateFingerprint(certificate)))
        return "fingerprint";
    if (criteria.serialNumber) {
        const std::string serial = certificate ? IntegerToHex(X509_get0_serialNumber(certificate)) : std::string();
        if (!SerialNumbersEqual(*criteria.serialNumber, serial)) return "serialNumber";
    }
    if (criteria.acceptedAuthorityKeyIdentifiers) {
        const auto identifier = ReadAuthorityKeyIdentifier(certificate);
        if (!identifier) return "acceptedAuthorityKeyIdentifiers";
        bool accepted = false;
        for (const auto& entry : *criteria.acceptedAuthorityKeyIdentifiers)
            if ((accepted = IdentifierMatches(entry, *identifier))) break;
        if (!accepted) return "acceptedAuthorityKeyIdentifiers";
    }
    return nullptr;
}

// X509_cmp_current_time gives -1 for a time earlier than or equal to now, 1
// for a later one and 0 when it cannot compare: notBefore <= now < notAfter.
const char* ValidityFailure(const X509* certificate)
{
    if (!certificate) return "not a certificate";
    if (X509_cmp_current_time(X509_get0_notBefore(certificate)) != -1) return "not yet valid";
    if (X509_cmp_current_time(X509_get0_notAfter(certificate)) != 1) return "expired";
    return nullptr;
}

// PassesFilter and ExplainFilter in one walk; verdict may be null.
bool Evaluate(bool checkValidity, const CertificateFilter& filter, const std::uint8_t* der, std::size_t length,
              FilterVerdict* verdict)
{
    if (!checkValidity && filter.empty()) return true;

    CertificateFacts facts;
    if (der && length <= static_cast<std::size_t>(LONG_MAX)) {
        const unsigned char* cursor = der;
        facts.certificate.reset(d2i_X509(nullptr, &cursor, static_cast<long>(length)));
    }
    if (facts.certificate) {
        // Fills OpenSSL's cached extension data (key usage among it).
        X509_check_purpose(facts.certificate.get(), -1, 0);
        facts.qc = ReadQcStatements(facts.certificate.get());
    }

    if (checkValidity) {
        if (const char* failure = ValidityFailure(facts.certificate.get())) {
            if (verdict) verdict->validityFailure = failure;
            return false;
        }
    }
    if (filter.empty()) return true;
    for (const auto& criteria : filter) {
        const char* failing = FirstFailingCriterion(criteria, facts);
        if (!failing) return true;
        if (verdict) verdict->failedCriteria.emplace_back(failing);
    }
    return false;
}

}  // namespace

std::string CertificateFingerprint(const X509* certificate)
{
    if (!certificate) return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha1(), digest, &length) != 1) return {};
    return HexEncode(digest, length);
}

bool PassesFilter(bool checkValidity, const CertificateFilter& filter, const std::uint8_t* der, std::size_t length)
{
    return Evaluate(checkValidity, filter, der, length, nullptr);
}

FilterVerdict ExplainFilter(bool checkValidity, const CertificateFilter& filter, const std::uint8_t* der,
                            std::size_t length)
{
    FilterVerdict verdict;
    verdict.passes = Evaluate(checkValidity, filter, der, length, &verdict);
    return verdict;
}

}  // namespace nerolin
