#include "tests/support/SignatureCheck.h"

#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/rsa.h>

#include "common/OpenSslOwners.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {

::testing::AssertionResult SignatureVerifies(const std::string& identity, const std::string& hashAlgorithm,
                                             const Bytes& hash, const std::string& signatureText)
{
    // The line layout first: 64 characters, CR LF after each line.
    for (std::size_t start = 0; start < signatureText.size();) {
        const auto end = signatureText.find("\r\n", start);
        if (end == std::string::npos) return ::testing::AssertionFailure() << "line without CR LF";
        if (end - start > 64 || (end - start < 64 && end + 2 != signatureText.size()))
            return ::testing::AssertionFailure() << "line of " << end - start << " characters";
        start = end + 2;
    }
    Bytes signature = Base64Decode(signatureText, Base64Format::Base64);
    if (signature.empty()) return ::testing::AssertionFailure() << "no Base64 signature";

    UniqueX509 certificate = LoadCertificate(SigningIdentity(identity).certificatePem);
    EVP_PKEY* key = certificate ? X509_get0_pubkey(certificate.get()) : nullptr;
    if (!key) return ::testing::AssertionFailure() << "no public key for " << identity;

    if (EVP_PKEY_base_id(key) == EVP_PKEY_EC) {
        // Raw r || s into the DER form OpenSSL verifies.
        const std::size_t half = signature.size() / 2;
        ECDSA_SIG* sig = ECDSA_SIG_new();
        ECDSA_SIG_set0(sig, BN_bin2bn(signature.data(), static_cast<int>(half), nullptr),
                       BN_bin2bn(signature.data() + half, static_cast<int>(half), nullptr));
        unsigned char* der = nullptr;
        const int length = i2d_ECDSA_SIG(sig, &der);
        ECDSA_SIG_free(sig);
        signature.assign(der, der + (length > 0 ? length : 0));
        OPENSSL_free(der);
    }

    EvpPkeyContextPtr context(EVP_PKEY_CTX_new(key, nullptr));
    if (!context || EVP_PKEY_verify_init(context.get()) <= 0)
        return ::testing::AssertionFailure() << "verify init failed";
    if (EVP_PKEY_base_id(key) == EVP_PKEY_RSA) {
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING);
        if (!hashAlgorithm.empty()) {
            ASN1_OBJECT* oid = OBJ_txt2obj(hashAlgorithm.c_str(), 1);
            const EVP_MD* md = oid ? EVP_get_digestbyobj(oid) : nullptr;
            ASN1_OBJECT_free(oid);
            if (!md || EVP_PKEY_CTX_set_signature_md(context.get(), md) <= 0)
                return ::testing::AssertionFailure() << "no digest " << hashAlgorithm;
        }
    }
    if (EVP_PKEY_verify(context.get(), signature.data(), signature.size(), hash.data(), hash.size()) != 1)
        return ::testing::AssertionFailure() << "signature of " << identity << " does not verify";
    return ::testing::AssertionSuccess();
}

}  // namespace nerolin::test
