#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

std::string CommonName(X509* cert)
{
    char buffer[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, buffer, sizeof buffer);
    return buffer;
}

int Year(const ASN1_TIME* time)
{
    std::tm tm{};
    ASN1_TIME_to_tm(time, &tm);
    return tm.tm_year + 1900;
}

// The built-in root file must hold the root table exactly: agents compare
// public keys in this order and name roots 3 and 4 by position.
TEST(DevelopmentPki, TrustedRootsFollowTheRootTable)
{
    struct Root {
        const char* name;
        int keyType;
        int from;
        int to;
    };
    const std::vector<Root> table = {
        {"Tavorel Valdoro Root CA 2009", EVP_PKEY_RSA, 2009, 2029},
        {"Valdoro Root CA 2017", EVP_PKEY_EC, 2017, 2042},
        {"Orvane Administration CA 2022", EVP_PKEY_EC, 2022, 2052},
        {"Orvane Administration CA 2022", EVP_PKEY_EC, 2022, 2055},
    };
    FILE* file = std::fopen(TrustedRootsFile().c_str(), "r");
    ASSERT_NE(file, nullptr);
    std::vector<X509Ptr> roots;
    while (X509* cert = PEM_read_X509(file, nullptr, nullptr, nullptr)) roots.emplace_back(cert);
    std::fclose(file);
    ASSERT_EQ(roots.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(CommonName(roots[i].get()), table[i].name);
        EXPECT_EQ(EVP_PKEY_get_base_id(X509_get0_pubkey(roots[i].get())), table[i].keyType);
        EXPECT_EQ(Year(X509_get0_notBefore(roots[i].get())), table[i].from);
        EXPECT_EQ(Year(X509_get0_notAfter(roots[i].get())), table[i].to);
    }
    EXPECT_NE(EVP_PKEY_eq(X509_get0_pubkey(roots[2].get()), X509_get0_pubkey(roots[3].get())), 1);
}

TEST(DevelopmentPki, SigningKeysMatchTheirCertificates)
{
    for (const char* name : {"rsa", "ec", "qc-esign", "serial-leading-zero", "expired"}) {
        SCOPED_TRACE(name);
        auto files = SigningIdentity(name);
        X509Ptr cert = LoadCertificate(files.certificateDer);
        EvpPkeyPtr key = LoadPrivateKey(files.privateKeyPem);
        ASSERT_TRUE(cert && key);
        EXPECT_EQ(X509_check_private_key(cert.get(), key.get()), 1);
        EXPECT_EQ(LoadCertificateDer(files.certificatePem), ReadFileBytes(files.certificateDer));
    }
}

TEST(DevelopmentPki, MakeTestTokenBuildsTokenAndDatabase)
{
    char pattern[] = "/tmp/nerolin-token-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string dir = pattern;
    auto token = MakeTestToken(dir, "--nss-certs qc-esign");
    ASSERT_TRUE(token.has_value());
    EXPECT_EQ(token->nssDb, "sql:" + dir + "/nssdb");
    std::string list = "SOFTHSM2_CONF=" + token->softhsmConf + " certutil -L -d " + token->nssDb +
                       " -h all -f /dev/stdin <<< 1234 > " + dir + "/list.txt 2>&1";
    ASSERT_EQ(std::system(("bash -c '" + list + "'").c_str()), 0);
    Bytes bytes = ReadFileBytes(dir + "/list.txt");
    std::string listed(bytes.begin(), bytes.end());
    EXPECT_NE(listed.find("qc-esign"), std::string::npos);
    EXPECT_NE(listed.find("Nerolin Test Token:rsa"), std::string::npos);
    EXPECT_NE(listed.find("Nerolin Test Token:ec"), std::string::npos);
    std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace nerolin::test
