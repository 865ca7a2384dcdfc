#include "common/CertificateText.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <string>
#include <utility>
#include <vector>

#include "common/OpenSslOwners.h"
#include "common/Text.h"

namespace nerolin {
namespace {

// (attribute, value, joins the previous relative name)
struct NameEntry {
    const char* attribute;
    std::string value;
    bool sameSet = false;
};

X509NamePtr MakeName(const std::vector<NameEntry>& entries)
{
    X509NamePtr name(X509_NAME_new());
    for (const auto& entry : entries) {
        EXPECT_EQ(X509_NAME_add_entry_by_txt(name.get(), entry.attribute, MBSTRING_UTF8,
                                             reinterpret_cast<const unsigned char*>(entry.value.data()),
                                             static_cast<int>(entry.value.size()), -1, entry.sameSet ? -1 : 0),
                  1);
    }
    return name;
}

X509Ptr MakeCertificate(const std::vector<NameEntry>& subject, const std::vector<NameEntry>& issuer)
{
    EvpPkeyPtr key(EVP_EC_gen("P-256"));
    X509Ptr certificate(X509_new());
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 7);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 3600);
    X509_set_subject_name(certificate.get(), MakeName(subject).get());
    X509_set_issuer_name(certificate.get(), MakeName(issuer).get());
    X509_set_pubkey(certificate.get(), key.get());
    EXPECT_GT(X509_sign(certificate.get(), key.get(), EVP_sha256()), 0);
    return certificate;
}

TEST(CertNameString, RdnFormIsTheValuesInEncodedOrderWithQuoting)
{
    const std::pair<std::vector<NameEntry>, std::string> cases[] = {
        {{{"C", "HU"}, {"O", "Example Ltd"}, {"CN", "Kiss P\xC3\xA9ter"}}, "HU, Example Ltd, Kiss P\xC3\xA9ter"},
        {{{"CN", "Doe, John"}}, "\"Doe, John\""},
        {{{"CN", "say \"hi\""}}, "\"say \"\"hi\"\"\""},
        {{{"CN", " padded"}}, "\" padded\""},
        {{{"CN", "padded "}}, "\"padded \""},
        {{{"O", "a+b"}, {"OU", "x=y"}, {"CN", "<t>"}}, "\"a+b\", \"x=y\", \"<t>\""},
        {{{"CN", "#1"}, {"CN", "a;b"}, {"CN", "two\nlines"}}, "\"#1\", \"a;b\", \"two\nlines\""},
        {{{"CN", "in ner"}}, "in ner"},
        // One multi-valued relative name; DER sorts the members of its set.
        {{{"CN", "first"}, {"serialNumber", "42", true}}, "42 + first"},
        {{}, ""},
    };
    for (const auto& [subject, expected] : cases) {
        X509Ptr certificate = MakeCertificate(subject, {{"CN", "Issuer"}});
        EXPECT_EQ(CertNameString(certificate.get(), CertNameType::Rdn, 0), expected) << expected;
    }
}

TEST(CertNameString, IssuerFlagNamesTheIssuer)
{
    X509Ptr certificate = MakeCertificate({{"CN", "Subject"}}, {{"C", "HU"}, {"CN", "Root CA"}});
    EXPECT_EQ(CertNameString(certificate.get(), CertNameType::Rdn, kCertNameIssuerFlag), "HU, Root CA");
    EXPECT_EQ(CertNameString(certificate.get(), CertNameType::Attribute, kCertNameIssuerFlag), "Root CA");
    EXPECT_EQ(CertNameString(nullptr, CertNameType::Rdn, 0), "");
}

TEST(CertNameString, AttributeFormTakesEmailThenCommonNameThenUnitThenOrganization)
{
    const std::pair<std::vector<NameEntry>, std::string> cases[] = {
        {{{"O", "Org"}, {"OU", "Unit"}, {"CN", "Name"}, {"emailAddress", "a@b.hu"}}, "a@b.hu"},
        {{{"O", "Org"}, {"OU", "Unit"}, {"CN", "Name"}}, "Name"},
        {{{"O", "Org"}, {"OU", "Unit"}}, "Unit"},
        {{{"C", "HU"}, {"O", "Org"}}, "Org"},
        {{{"C", "HU"}}, ""},
        {{{"CN", "a, \"b\""}}, "a, \"b\""},  // no quoting in this form
    };
    for (const auto& [subject, expected] : cases) {
        X509Ptr certificate = MakeCertificate(subject, {{"CN", "Issuer"}});
        EXPECT_EQ(CertNameString(certificate.get(), CertNameType::Attribute, 0), expected) << expected;
    }
}

TEST(CertThumbprint, IsTheSha1OfTheDerInUpperCaseHex)
{
    X509Ptr certificate = MakeCertificate({{"CN", "Subject"}}, {{"CN", "Issuer"}});
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate.get(), &der);
    ASSERT_GT(length, 0);
    OpenSslBufferPtr owner(der);
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(der, static_cast<std::size_t>(length), digest);

    const std::string thumbprint = CertThumbprint(certificate.get());
    EXPECT_EQ(thumbprint, HexEncode(digest, sizeof digest));
    EXPECT_EQ(thumbprint.size(), 40u);
    EXPECT_EQ(thumbprint.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(CertThumbprint(nullptr), "");
}

}  // namespace
}  // namespace nerolin
