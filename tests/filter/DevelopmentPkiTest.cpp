// The filter against the development PKI's signing certificates: the kinds
// of filters services send, over certificates made by another generator
// than the fixtures of CertificateMatchingTest.
#include <gtest/gtest.h>

#include <openssl/x509v3.h>

#include "common/Text.h"
#include "filter/CertificateMatching.h"
#include "tests/filter/FilterJson.h"
#include "tests/support/TestPki.h"

namespace nerolin {
namespace {

// The CA's subject key identifier in lower case (keys change whenever the
// PKI is regenerated, so it is read, not written down).
std::string LowerCaseKeyId(const char* caName)
{
    const auto ca = test::LoadCertificate(test::PkiPath(std::string("signing/") + caName + ".pem"));
    const ASN1_OCTET_STRING* keyId = ca ? X509_get0_subject_key_id(ca.get()) : nullptr;
    if (!keyId) return "missing";
    std::string hex = HexEncode(keyId->data, static_cast<std::size_t>(keyId->length));
    for (auto& c : hex) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    return hex;
}

TEST(PassesFilter, DevelopmentSigningCertificates)
{
    const std::string rsaCaKeyId = LowerCaseKeyId("signing-ca-rsa");
    const std::string ecCaKeyId = LowerCaseKeyId("signing-ca-ec");
    const std::string qualified = R"([{"hasQCCompliance": true, "hasQCQSCD": true, "qcType": "YENDO"}])";
    struct Case {
        const char* certificate;
        std::string filter;
        bool checkValidity;
        bool passes;
    } cases[] = {
        {"rsa", "[]", true, true},
        {"expired", "[]", true, false},
        {"not-yet-valid", "[]", true, false},
        {"qc-esign", qualified, true, true},
        {"qc-eseal", qualified, true, false},
        {"qc-typelist", R"([{"qcType": "ESEAL"}])", true, true},
        {"qc-typelist", R"([{"qcType": "YENDO"}])", true, false},
        {"qc-web", R"([{"hasQCCompliance": false, "qcType": "WEB"}])", true, true},
        {"rsa", R"([{"hasQCStatement": false, "keyUsage": {"nonRepudiation": true, "keyEncipherment": false}}])", true,
         true},
        {"rsa-encipherment", R"([{"keyUsage": {"digitalSignature": true}}])", true, false},
        {"rsa-no-keyusage", R"([{"keyUsage": {"nonRepudiation": true}}])", true, true},
        {"ec-keyagreement", R"([{"keyUsage": {"keyAgreement": true, "nonRepudiation": false}}])", true, true},
        {"serial-leading-zero", R"([{"serialNumber": "008a0b0c0d0e0f1011"}])", true, true},
        {"aki-keyid", R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": ")" + rsaCaKeyId + "\"}]}]", true,
         true},
        {"aki-keyid", R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": ")" + ecCaKeyId + "\"}]}]", true,
         false},
        {"aki-issuer-serial", R"([{"acceptedAuthorityKeyIdentifiers": [
            {"authorityCertIssuer": "CN=Nerolin Test Signing CA RSA,O=Nerolin Test",
             "authorityCertSerialNumber": "001017"}]}])",
         true, true},
        {"aki-all",
         R"([{"acceptedAuthorityKeyIdentifiers": [
            {"keyIdentifier": ")" +
             ecCaKeyId + R"(", "authorityCertIssuer": "CN=Nerolin Test Signing CA EC,O=Nerolin Test",
             "authorityCertSerialNumber": "1018"}]}])",
         true, true},
        {"aki-all", R"([{"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": ")" + ecCaKeyId + "\"}]}]", true, false},
    };
    for (const auto& c : cases) {
        CertificateFilter filter;
        ASSERT_TRUE(test::ReadFilterJson(c.filter, filter)) << c.filter;
        const Bytes der = test::LoadCertificateDer(test::PkiPath(std::string("signing/") + c.certificate + ".der"));
        ASSERT_FALSE(der.empty()) << c.certificate;
        EXPECT_EQ(PassesFilter(c.checkValidity, filter, der.data(), der.size()), c.passes)
            << c.certificate << " " << c.filter;
    }
}

}  // namespace
}  // namespace nerolin

namespace nerolin {
namespace {

// Tokens may hold anything: damaged certificates must give an answer, never
// a crash or a leak (the sanitizer build watches this test).
TEST(PassesFilter, SurvivesEveryDamagedByteOfACertificate)
{
    CertificateFilter filter;
    ASSERT_TRUE(test::ReadFilterJson(R"([{"keyUsage": {"digitalSignature": true}, "hasQCStatement": true,
        "hasQCCompliance": true, "qcType": "ESEAL", "fingerprint": "00", "serialNumber": "01",
        "acceptedAuthorityKeyIdentifiers": [{}]}, {"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "00"}]}])",
                                     filter));
    for (const char* name : {"qc-typelist", "aki-all"}) {
        const Bytes original = test::LoadCertificateDer(test::PkiPath(std::string("signing/") + name + ".der"));
        ASSERT_FALSE(original.empty());
        for (std::size_t i = 0; i < original.size(); ++i) {
            Bytes damaged = original;
            damaged[i] ^= 0xFF;
            EXPECT_FALSE(PassesFilter(true, filter, damaged.data(), damaged.size())) << name << " byte " << i;
        }
        EXPECT_FALSE(PassesFilter(true, filter, original.data(), original.size() / 2)) << name;
    }
}

}  // namespace
}  // namespace nerolin
