#include "filter/CertificateMatching.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include <openssl/evp.h>

#include "tests/filter/FilterJson.h"
#include "tests/filter/TestCertificate.h"

namespace nerolin {
namespace {

using test::CertificateSpec;
using test::DerOid;
using test::DerSequence;
using test::QcStatement;

constexpr const char* kCompliance = "0.4.0.1862.1.1";
constexpr const char* kSscd = "0.4.0.1862.1.4";
constexpr const char* kQcType = "0.4.0.1862.1.6";
// RFC 2253 prints the most significant attribute last.
constexpr const char* kCaNameRfc2253 = "O=Nerolin Test,CN=Nerolin Test CA";

const Bytes kKeyId{0xAB, 0xCD, 0xEF, 0x01};

// The certificates the cases talk about, built once per process.
const Bytes& Certificate(const std::string& name)
{
    static const std::map<std::string, Bytes> certificates = [] {
        std::map<std::string, CertificateSpec> specs;
        specs["plain"] = {};
        specs["digitalSignature"].keyUsage = "digitalSignature";
        specs["encipherOnly"].keyUsage = "keyAgreement,encipherOnly";
        specs["decipherOnly"].keyUsage = "keyAgreement,decipherOnly";
        specs["qcCompliance"].qcStatements = DerSequence({QcStatement(kCompliance)});
        specs["qcSignatureThenSeal"].qcStatements =
            DerSequence({QcStatement(kSscd), QcStatement(kCompliance),
                         QcStatement(kQcType, DerSequence({DerOid("0.4.0.1862.1.6.1"), DerOid("0.4.0.1862.1.6.2")}))});
        specs["qcWebThenOther"].qcStatements =
            DerSequence({QcStatement(kQcType, DerSequence({DerOid("0.4.0.1862.1.6.3"), DerOid("1.2.3.4")}))});
        // A type given bare instead of in a SEQUENCE is not read.
        specs["qcTypeNotSequence"].qcStatements = DerSequence({QcStatement(kQcType, DerOid("0.4.0.1862.1.6.1"))});
        specs["qcUndecodable"].qcStatements = Bytes{0x04, 0x00};
        specs["serialA1"].serialHex = "00A1";
        specs["serialZero"].serialHex = "0";
        specs["serialNegative"].serialHex = "-01";
        specs["akiKeyOnly"].authorityKeyId = test::AuthorityKeyIdSpec{kKeyId, {}, {}};
        specs["akiFull"].authorityKeyId =
            test::AuthorityKeyIdSpec{kKeyId, {"CN=Nerolin Test CA,O=Nerolin Test"}, "0A1B"};
        specs["akiIssuerAfterDns"].authorityKeyId = test::AuthorityKeyIdSpec{
            std::nullopt, {"dns:ca.example", "CN=Nerolin Test CA,O=Nerolin Test", "CN=Second"}, std::nullopt};
        specs["akiEmpty"].authorityKeyId = test::AuthorityKeyIdSpec{};
        specs["expired"].notAfterOffset = -10;
        specs["notYetValid"].notBeforeOffset = 3600;
        specs["endsNow"].notAfterOffset = 0;
        std::map<std::string, Bytes> built;
        for (const auto& [name, spec] : specs) built[name] = test::MakeCertificate(spec);
        built["garbage"] = Bytes{0x30, 0x03, 0x02, 0x01, 0x01};
        return built;
    }();
    return certificates.at(name);
}

std::string LowerCaseSha1(const Bytes& der)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(der.data(), der.size(), digest, &length, EVP_sha1(), nullptr);
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) text += {digits[digest[i] >> 4], digits[digest[i] & 15]};
    return text;
}

bool Passes(const std::string& certificate, const std::string& filterJson, bool checkValidity)
{
    CertificateFilter filter;
    if (!test::ReadFilterJson(filterJson, filter)) throw std::invalid_argument("refused: " + filterJson);
    const Bytes& der = Certificate(certificate);
    return PassesFilter(checkValidity, filter, der.data(), der.size());
}

struct Case {
    const char* certificate;
    std::string filter;
    bool checkValidity;
    bool passes;
};

TEST(PassesFilter, ValidityAndEmptyFilters)
{
    const Case cases[] = {
        {"garbage", "[]", false, true},  // not even decoded
        {"garbage", "[{}]", false, true},   {"garbage", "[]", true, false},
        {"plain", "[]", true, true},        {"expired", "[]", true, false},
        {"notYetValid", "[]", true, false}, {"endsNow", "[]", true, false},  // notAfter must lie after now
        {"expired", "[]", false, true},     {"expired", "[{}]", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Passes(c.certificate, c.filter, c.checkValidity), c.passes) << c.certificate << " " << c.filter;
}

TEST(PassesFilter, KeyUsageBits)
{
    const Case cases[] = {
        // No key usage extension: OpenSSL reports every bit set.
        {"plain", R"([{"keyUsage": {"digitalSignature": true, "decipherOnly": true}}])", false, true},
        {"plain", R"([{"keyUsage": {"digitalSignature": false}}])", false, false},
        {"digitalSignature", R"([{"keyUsage": {"digitalSignature": true, "keyEncipherment": false}}])", false, true},
        {"digitalSignature", R"([{"keyUsage": {"nonRepudiation": true}}])", false, false},
        {"digitalSignature", R"([{"keyUsage": {}}])", false, true},
        {"decipherOnly", R"([{"keyUsage": {"decipherOnly": true, "encipherOnly": false}}])", false, true},
        {"encipherOnly", R"([{"keyUsage": {"decipherOnly": true}}])", false, false},
        {"encipherOnly", R"([{"keyUsage": {"encipherOnly": true, "keyAgreement": true}}])", false, true},
        // Bytes that are no certificate have no bit set.
        {"garbage", R"([{"keyUsage": {"digitalSignature": false}}])", false, true},
        {"garbage", R"([{"keyUsage": {"digitalSignature": true}}])", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Passes(c.certificate, c.filter, c.checkValidity), c.passes) << c.certificate << " " << c.filter;
}

TEST(PassesFilter, QcStatements)
{
    const Case cases[] = {
        {"qcCompliance", R"([{"hasQCStatement": true, "hasQCCompliance": true, "hasQCQSCD": false}])", false, true},
        {"qcCompliance", R"([{"qcType": "YENDO"}])", false, false},  // no known type
        {"plain", R"([{"hasQCStatement": false, "hasQCCompliance": false}])", false, true},
        {"plain", R"([{"hasQCStatement": true}])", false, false},
        {"qcSignatureThenSeal", R"([{"hasQCQSCD": true, "qcType": "ESEAL"}])", false, true},  // last type decides
        {"qcSignatureThenSeal", R"([{"qcType": "YENDO"}])", false, false},
        {"qcWebThenOther", R"([{"qcType": "WEB"}])", false, false},
        {"qcTypeNotSequence", R"([{"qcType": "YENDO"}])", false, false},
        // The extension counts as present even when its content does not decode.
        {"qcUndecodable", R"([{"hasQCStatement": true, "hasQCCompliance": false}])", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Passes(c.certificate, c.filter, c.checkValidity), c.passes) << c.certificate << " " << c.filter;
}

TEST(PassesFilter, FingerprintsAndSerialNumbers)
{
    const std::string fingerprint = LowerCaseSha1(Certificate("plain"));
    std::string withColons;
    for (std::size_t i = 0; i < fingerprint.size(); i += 2) withColons += (i ? ":" : "") + fingerprint.substr(i, 2);
    std::string upper = fingerprint;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    const Case cases[] = {
        {"plain", R"([{"fingerprint": ")" + fingerprint + "\"}]", false, true},
        {"plain", R"([{"fingerprint": ")" + upper + "\"}]", false, true},
        {"plain", R"([{"fingerprint": ")" + withColons + "\"}]", false, false},
        {"serialA1", R"([{"fingerprint": ")" + fingerprint + "\"}]", false, false},
        {"serialA1", R"([{"serialNumber": "00a1"}])", false, true},
        {"serialA1", R"([{"serialNumber": "a1"}])", false, true},
        {"serialA1", R"([{"serialNumber": "A10"}])", false, false},
        {"serialZero", R"([{"serialNumber": "0"}])", false, true},
        {"serialZero", R"([{"serialNumber": "000"}])", false, true},
        {"serialZero", R"([{"serialNumber": ""}])", false, false},
        {"serialNegative", R"([{"serialNumber": "-01"}])", false, true},
        {"serialNegative", R"([{"serialNumber": "-1"}])", false, false},  // a minus sign is not a zero
        // Two sets: the second one admits.
        {"serialA1", R"([{"serialNumber": "A2"}, {"serialNumber": "A1"}])", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Passes(c.certificate, c.filter, c.checkValidity), c.passes) << c.certificate << " " << c.filter;
}

TEST(PassesFilter, AuthorityKeyIdentifiers)
{
    const std::string issuer = kCaNameRfc2253;
    const Case cases[] = {
        // Only the fields the certificate carries are compared.
        {"akiKeyOnly", R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "abcdef01",
            "authorityCertIssuer": "CN=Someone Else", "authorityCertSerialNumber": "99"}]}])",
         false, true},
        {"akiKeyOnly", R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "ABCDEF02"},
            {"keyIdentifier": "ABCDEF01"}]}])",
         false, true},
        {"akiKeyOnly", R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "00ABCDEF01"}]}])", false, false},
        {"akiKeyOnly", R"([{"acceptedAuthorityKeyIdentifiers": []}])", false, false},
        {"akiFull",
         R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "ABCDEF01",
            "authorityCertIssuer": ")" +
             issuer + R"(", "authorityCertSerialNumber": "a1b"}]}])",
         false, true},
        // A field the certificate carries but the entry lacks cannot be checked: no match.
        {"akiFull", R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "ABCDEF01"}]}])", false, false},
        {"akiFull", R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "ABCDEF01",
            "authorityCertIssuer": "o=Nerolin Test,CN=Nerolin Test CA", "authorityCertSerialNumber": "0A1B"}]}])",
         false, false},  // the issuer compares byte for byte
        {"akiIssuerAfterDns",
         R"([{"acceptedAuthorityKeyIdentifiers": [{"authorityCertIssuer": ")" + issuer + R"("}]}])", false, true},
        {"akiEmpty", R"([{"acceptedAuthorityKeyIdentifiers": [{}]}])", false, true},
        {"akiEmpty", R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "AB"}]}])", false, true},
        {"plain", R"([{"acceptedAuthorityKeyIdentifiers": [{}]}])", false, false},
        {"garbage", R"([{"acceptedAuthorityKeyIdentifiers": [{}]}])", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Passes(c.certificate, c.filter, c.checkValidity), c.passes) << c.certificate << " " << c.filter;
}

TEST(ExplainFilter, NamesTheFirstFailingCriterionOfEachSet)
{
    CertificateFilter filter;
    ASSERT_TRUE(test::ReadFilterJson(R"([
        {"keyUsage": {"digitalSignature": true, "nonRepudiation": true}, "serialNumber": "1"},
        {"hasQCStatement": false, "acceptedAuthorityKeyIdentifiers": []}
    ])",
                                     filter));
    const Bytes& der = Certificate("digitalSignature");
    const auto verdict = ExplainFilter(false, filter, der.data(), der.size());
    EXPECT_FALSE(verdict.passes);
    EXPECT_EQ(verdict.failedCriteria,
              (std::vector<std::string>{"keyUsage.nonRepudiation", "acceptedAuthorityKeyIdentifiers"}));

    const Bytes& expired = Certificate("expired");
    EXPECT_EQ(ExplainFilter(true, filter, expired.data(), expired.size()).validityFailure, "expired");
}

TEST(SerialNumbersEqual, DropsLeadingZerosAndIgnoresCase)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"000", "0", true},   {"00A1", "a1", true}, {"", "", true},       {"", "0", false},
        {"-01", "-1", false}, {"0-1", "-1", true},  {"A1", "A10", false},
    };
    for (const auto& [a, b, equal] : cases) EXPECT_EQ(SerialNumbersEqual(a, b), equal) << a << " " << b;
}

}  // namespace
}  // namespace nerolin
