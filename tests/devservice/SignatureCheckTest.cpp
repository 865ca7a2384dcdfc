#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <openssl/ecdsa.h>
#include <openssl/rsa.h>

#include "common/OpenSslOwners.h"
#include "tests/support/TestPki.h"
#include "tools/devservice/SignatureCheck.h"

namespace nerolin::test {
namespace {

using devservice::DigestBytes;
using devservice::Sha256DigestInfo;
using devservice::VerifyHashSignature;

const std::string kContent = "The document whose hash is signed";
const std::string kSha256 = "2.16.840.1.101.3.4.2.1";
const std::string kSha384 = "2.16.840.1.101.3.4.2.2";

// Signs the way an agent must, made here with OpenSSL's one-shot digest-sign
// (over the content) or raw sign (over the hash bytes), independently of the
// service's own signer.
Bytes SignContent(EVP_PKEY* key, const EVP_MD* md)
{
    EvpMdContextPtr context(EVP_MD_CTX_new());
    EXPECT_EQ(EVP_DigestSignInit(context.get(), nullptr, md, nullptr, key), 1);
    std::size_t length = 0;
    EVP_DigestSign(context.get(), nullptr, &length, reinterpret_cast<const unsigned char*>(kContent.data()),
                   kContent.size());
    Bytes signature(length);
    EXPECT_EQ(EVP_DigestSign(context.get(), signature.data(), &length,
                             reinterpret_cast<const unsigned char*>(kContent.data()), kContent.size()),
              1);
    signature.resize(length);
    return signature;
}

Bytes SignRaw(EVP_PKEY* key, const Bytes& data)
{
    EvpPkeyContextPtr context(EVP_PKEY_CTX_new(key, nullptr));
    EXPECT_EQ(EVP_PKEY_sign_init(context.get()), 1);
    if (EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA) EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING);
    std::size_t length = 0;
    EVP_PKEY_sign(context.get(), nullptr, &length, data.data(), data.size());
    Bytes signature(length);
    EXPECT_EQ(EVP_PKEY_sign(context.get(), signature.data(), &length, data.data(), data.size()), 1);
    signature.resize(length);
    return signature;
}

// DER ECDSA-Sig-Value to the r || s form the protocol carries.
Bytes RawEcdsa(const Bytes& der)
{
    const unsigned char* p = der.data();
    EcdsaSignaturePtr sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der.size())));
    Bytes raw(64);
    BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), raw.data(), 32);
    BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), raw.data() + 32, 32);
    return raw;
}

struct Case {
    const char* name;
    const char* keyName;
    std::string algorithm;  // empty: no hash algorithm
};

class SignatureCheck : public ::testing::TestWithParam<Case> {};

TEST_P(SignatureCheck, AcceptsTheRightSignatureAndRefusesATamperedOne)
{
    const Case& c = GetParam();
    EvpPkeyPtr key = LoadPrivateKey(SigningIdentity(c.keyName).privateKeyPem);
    X509Ptr certificate = LoadCertificate(SigningIdentity(c.keyName).certificatePem);
    ASSERT_TRUE(key && certificate);
    EVP_PKEY* publicKey = X509_get0_pubkey(certificate.get());
    bool rsa = EVP_PKEY_get_base_id(key.get()) == EVP_PKEY_RSA;

    Bytes hash, signature;
    if (c.algorithm.empty()) {
        // No algorithm: the hash bytes are signed as they stand (for RSA they
        // carry their own DigestInfo).
        hash = rsa ? Sha256DigestInfo(kContent) : *DigestBytes(kSha256, kContent);
        signature = SignRaw(key.get(), hash);
    } else {
        hash = *DigestBytes(c.algorithm, kContent);
        signature = SignContent(key.get(), c.algorithm == kSha256 ? EVP_sha256() : EVP_sha384());
    }
    if (!rsa) signature = RawEcdsa(signature);

    EXPECT_TRUE(VerifyHashSignature(publicKey, c.algorithm, hash, signature).valid);

    Bytes tampered = signature;
    tampered[tampered.size() / 2] ^= 0x01;
    auto verdict = VerifyHashSignature(publicKey, c.algorithm, hash, tampered);
    EXPECT_FALSE(verdict.valid);
    EXPECT_FALSE(verdict.detail.empty());

    Bytes otherHash = hash;
    otherHash.back() ^= 0x01;
    EXPECT_FALSE(VerifyHashSignature(publicKey, c.algorithm, otherHash, signature).valid);
}

INSTANTIATE_TEST_SUITE_P(KeyTypes, SignatureCheck,
                         ::testing::Values(Case{"RsaWithDigestInfo", "rsa", kSha256},
                                           Case{"RsaSha384", "qc-esign", kSha384},
                                           Case{"RsaWithoutDigestInfo", "rsa", ""}, Case{"EcdsaRawRS", "ec", kSha256},
                                           Case{"EcdsaNoAlgorithm", "ec", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SignatureCheckForm, RefusesSignaturesInTheWrongForm)
{
    EvpPkeyPtr ecKey = LoadPrivateKey(SigningIdentity("ec").privateKeyPem);
    EvpPkeyPtr rsaKey = LoadPrivateKey(SigningIdentity("rsa").privateKeyPem);
    ASSERT_TRUE(ecKey && rsaKey);
    Bytes hash = *DigestBytes(kSha256, kContent);

    // An ECDSA signature in DER instead of r || s.
    Bytes der = SignContent(ecKey.get(), EVP_sha256());
    EXPECT_FALSE(VerifyHashSignature(ecKey.get(), kSha256, hash, der).valid);

    // An RSA signature over the bare digest where a DigestInfo was due.
    Bytes bare = SignRaw(rsaKey.get(), hash);
    EXPECT_FALSE(VerifyHashSignature(rsaKey.get(), kSha256, hash, bare).valid);
    // ...and one with DigestInfo checked as if no algorithm applied.
    Bytes withInfo = SignContent(rsaKey.get(), EVP_sha256());
    EXPECT_FALSE(VerifyHashSignature(rsaKey.get(), "", hash, withInfo).valid);

    // Signed by another key of the same type.
    EvpPkeyPtr otherRsa = LoadPrivateKey(SigningIdentity("aki-keyid").privateKeyPem);
    EXPECT_FALSE(VerifyHashSignature(otherRsa.get(), kSha256, hash, withInfo).valid);

    // A hash whose length does not fit the algorithm, and an unknown algorithm.
    EXPECT_FALSE(VerifyHashSignature(rsaKey.get(), kSha384, hash, withInfo).valid);
    EXPECT_FALSE(VerifyHashSignature(rsaKey.get(), "2.16.840.1.101.3.4.2.4", hash, withInfo).valid);
}

}  // namespace
}  // namespace nerolin::test
