#pragma once

// Whether a certificate may be offered to the user: its validity period and
// the session's CertificateFilter, tested with OpenSSL. Stateless, writes no
// event entry, safe on any thread (the filter is only read).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <openssl/asn1.h>
#include <openssl/x509.h>

#include "filter/CertificateFilter.h"

namespace nerolin {

// der/length: the certificate's DER encoding. With checkValidity the
// certificate must decode and hold notBefore <= now < notAfter. Then an
// empty filter passes, otherwise the first criteria set that matches does.
// Without checkValidity and with an empty filter the bytes are not even
// decoded. Bytes that do not decode are tested as a certificate with no key
// usage bits, no QC statements, and empty fingerprint, serial number and
// authority key identifier.
bool PassesFilter(bool checkValidity, const CertificateFilter& filter, const std::uint8_t* der, std::size_t length);

// Why a certificate fails, for people who write filters: the validity test,
// or for each criteria set in order the name of its first criterion that
// does not hold ("keyUsage.nonRepudiation", "qcType",
// "acceptedAuthorityKeyIdentifiers", ...).
struct FilterVerdict {
    bool passes = false;
    std::string validityFailure;              // "not a certificate", "not yet valid", "expired"; empty if held
    std::vector<std::string> failedCriteria;  // one per criteria set, in filter order
};
FilterVerdict ExplainFilter(bool checkValidity, const CertificateFilter& filter, const std::uint8_t* der,
                            std::size_t length);

// OpenSSL's hexadecimal text of the number: upper-case whole bytes ("0A1B"),
// "0" for zero, a leading "-" when negative. Empty when it cannot convert.
std::string IntegerToHex(const ASN1_INTEGER* number);

// Equal after dropping leading '0' characters (keeping the last character)
// from each, ignoring the case of ASCII letters: "00a1" equals "A1".
bool SerialNumbersEqual(std::string_view a, std::string_view b);

// The certificate's authority key identifier extension as texts; nullopt
// without a certificate, without the extension, or when it does not decode.
std::optional<AuthorityKeyIdentifier> ReadAuthorityKeyIdentifier(const X509* certificate);

}  // namespace nerolin
