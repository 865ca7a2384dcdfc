#pragma once

// The criteria a signing service sends in the session configuration's
// "filters" member: which certificates may be offered to the user. Filled
// once by ReadCertificateFilter, read-only afterwards (so any thread may
// read it without a lock). Tested against a certificate by PassesFilter
// (filter/CertificateMatching.h).

#include <optional>
#include <string>
#include <vector>

#include <rapidjson/document.h>

namespace nerolin {

// The QC types of ETSI EN 319 412-5, as the filter names them.
enum class QcType : int {
    ElectronicSignature = 0,    // "YENDO", 0.4.0.1862.1.6.1
    ElectronicSeal = 1,         // "ESEAL", 0.4.0.1862.1.6.2
    WebsiteAuthentication = 2,  // "WEB",   0.4.0.1862.1.6.3
    Unknown = 3,                // never read from JSON: a certificate without a known type
};

// One optional requirement per X.509 key usage bit: true = set, false = clear,
// absent = not looked at. A record with every field absent is still present.
struct KeyUsageCriteria {
    std::optional<bool> digitalSignature;
    std::optional<bool> nonRepudiation;
    std::optional<bool> keyEncipherment;
    std::optional<bool> dataEncipherment;
    std::optional<bool> keyAgreement;
    std::optional<bool> keyCertSign;
    std::optional<bool> cRLSign;
    std::optional<bool> encipherOnly;
    std::optional<bool> decipherOnly;
};

// The fields of the authority key identifier extension as texts: the key
// identifier in hexadecimal, the issuer's directory name in RFC 2253 form,
// the serial number in hexadecimal. Used both for a filter's accepted
// identifiers and for the identifier read from a certificate.
struct AuthorityKeyIdentifier {
    std::optional<std::string> keyIdentifier;
    std::optional<std::string> authorityCertIssuer;
    std::optional<std::string> authorityCertSerialNumber;
};

// One element of "filters". Absent fields are not looked at; every present
// field must hold for the element to match. Texts are UTF-8 exactly as the
// JSON carried them (nothing trimmed or case-folded).
struct CertificateCriteria {
    std::optional<KeyUsageCriteria> keyUsage;
    std::optional<bool> hasQCStatement;
    std::optional<bool> hasQCCompliance;
    std::optional<bool> hasQCQSCD;
    std::optional<QcType> qcType;
    std::optional<std::string> fingerprint;
    std::optional<std::string> serialNumber;
    // Present and empty matches no certificate.
    std::optional<std::vector<AuthorityKeyIdentifier>> acceptedAuthorityKeyIdentifiers;
};

// A certificate passes when the list is empty or any element matches it.
using CertificateFilter = std::vector<CertificateCriteria>;

// Reads the value of the configuration's "filters" member into filter
// (empty before the call). False refuses the whole value: it is not an
// array, an element is not an object, a "keyUsage" is not an object, or an
// "acceptedAuthorityKeyIdentifiers" is not an array of objects. The filter
// may then hold the elements read before the refused one; the caller
// discards the configuration anyway. Wrongly typed optional members are
// dropped silently, so they only ever widen an element.
bool ReadCertificateFilter(const rapidjson::Value& value, CertificateFilter& filter);

// The members of a "filters" value that ReadCertificateFilter ignores:
// unknown names (a typo such as "nonRepudation") and criteria of the wrong
// type or value. Each is one line, "[0].keyUsage.nonRepudation: unknown
// member, ignored". Since ignoring only ever widens an element, these are
// what makes a filter silently let more certificates through.
std::vector<std::string> IgnoredFilterMembers(const rapidjson::Value& value);

}  // namespace nerolin
