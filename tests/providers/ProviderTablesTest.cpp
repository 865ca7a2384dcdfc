// The result texts, the hash algorithm table and key types, checked against
// what OpenSSL knows about the same algorithms.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include "common/OpenSslOwners.h"
#include "common/Text.h"
#include "providers/HashAlgorithm.h"
#include "providers/KeyType.h"
#include "providers/SigningResult.h"

namespace nerolin {
namespace {

TEST(SigningResult, TextsAndEntryTypes)
{
    const struct {
        std::uint32_t value;
        const char* text;
        EntryType type;
    } cases[] = {
        {0, "finished successfully", EntryType::Information},
        {1, "canceled", EntryType::Information},
        {2, "failed", EntryType::Error},
        {3, "failed (PIN incorrect)", EntryType::Error},
        {4, "failed (PIN locked)", EntryType::Error},
        {5, "unsupported", EntryType::Information},
        {6, "finished with unknown result", EntryType::Error},
        {7, "finished with unknown result", EntryType::Error},
        {0x105, "unsupported", EntryType::Information},  // only the low byte counts
    };
    for (const auto& c : cases) {
        const auto result = static_cast<SigningResult>(c.value);
        EXPECT_STREQ(SigningResultText(result), c.text) << c.value;
        EXPECT_EQ(SigningResultEntryType(result), c.type) << c.value;
    }
}

// Every DigestInfo prefix followed by a digest of the table's length must be
// a DER DigestInfo naming the table's OID, and the length must be what
// OpenSSL computes for that algorithm.
TEST(HashAlgorithm, TableAgreesWithOpenSsl)
{
    ASSERT_EQ(HashAlgorithms().size(), 4u);
    for (const auto& algorithm : HashAlgorithms()) {
        const std::string oid(algorithm.oid);
        const Asn1ObjectPtr object(OBJ_txt2obj(oid.c_str(), 1));
        const EVP_MD* md = EVP_get_digestbyobj(object.get());
        ASSERT_NE(md, nullptr) << oid;
        EXPECT_EQ(static_cast<std::size_t>(EVP_MD_get_size(md)), algorithm.digestLength) << oid;

        Bytes digestInfo(algorithm.digestInfoPrefix.begin(), algorithm.digestInfoPrefix.end());
        digestInfo.resize(digestInfo.size() + algorithm.digestLength, 0x5A);
        const unsigned char* cursor = digestInfo.data();
        X509_SIG* parsed = d2i_X509_SIG(nullptr, &cursor, static_cast<long>(digestInfo.size()));
        ASSERT_NE(parsed, nullptr) << oid;
        EXPECT_EQ(cursor, digestInfo.data() + digestInfo.size()) << oid;
        const X509_ALGOR* algor = nullptr;
        const ASN1_OCTET_STRING* digest = nullptr;
        X509_SIG_get0(parsed, &algor, &digest);
        const ASN1_OBJECT* named = nullptr;
        X509_ALGOR_get0(&named, nullptr, nullptr, algor);
        char text[64];
        OBJ_obj2txt(text, sizeof text, named, 1);
        EXPECT_EQ(text, oid);
        EXPECT_EQ(static_cast<std::size_t>(digest->length), algorithm.digestLength);
        X509_SIG_free(parsed);

        EXPECT_EQ(FindHashAlgorithm(algorithm.oid), &algorithm);
    }
    EXPECT_EQ(FindHashAlgorithm(""), nullptr);
    EXPECT_EQ(FindHashAlgorithm("2.16.840.1.101.3.4.2.4"), nullptr);
}

TEST(KeyType, FromPublicKeyAlgorithmOid)
{
    EXPECT_EQ(KeyTypeFromAlgorithmOid("1.2.840.113549.1.1.1"), KeyType::RSA);
    EXPECT_EQ(KeyTypeFromAlgorithmOid("1.2.840.10040.4.1"), KeyType::DSA);
    EXPECT_EQ(KeyTypeFromAlgorithmOid("1.2.840.10045.2.1"), KeyType::EC);
    EXPECT_EQ(KeyTypeFromAlgorithmOid("1.3.101.112"), KeyType::Unknown);  // Ed25519
    EXPECT_EQ(KeyTypeFromAlgorithmOid(""), KeyType::Unknown);
}

}  // namespace
}  // namespace nerolin
