#include "tools/devservice/SignatureCheck.h"

#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/rsa.h>

#include "common/OpenSslOwners.h"

namespace nerolin::devservice {

const EVP_MD* DigestForOid(std::string_view oid)
{
    if (oid == "1.3.14.3.2.26") return EVP_sha1();
    if (oid == "2.16.840.1.101.3.4.2.1") return EVP_sha256();
    if (oid == "2.16.840.1.101.3.4.2.2") return EVP_sha384();
    if (oid == "2.16.840.1.101.3.4.2.3") return EVP_sha512();
    return nullptr;
}

std::optional<Bytes> DigestBytes(std::string_view oid, std::string_view data)
{
    const EVP_MD* md = DigestForOid(oid);
    if (!md) return std::nullopt;
    Bytes digest(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest.data(), &length, md, nullptr) != 1) return std::nullopt;
    digest.resize(length);
    return digest;
}

Bytes Sha256DigestInfo(std::string_view data)
{
    // DigestInfo ::= SEQUENCE { AlgorithmIdentifier sha256 NULL, OCTET STRING (32) }
    static const unsigned char kPrefix[] = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                            0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
    Bytes info(std::begin(kPrefix), std::end(kPrefix));
    Bytes digest = *DigestBytes("2.16.840.1.101.3.4.2.1", data);
    info.insert(info.end(), digest.begin(), digest.end());
    return info;
}

namespace {

// r || s, each half as long as the curve order, to the DER form OpenSSL verifies.
std::optional<Bytes> EcdsaRawToDer(EVP_PKEY* key, const Bytes& raw)
{
    int orderBits = EVP_PKEY_get_bits(key);
    std::size_t half = static_cast<std::size_t>((orderBits + 7) / 8);
    if (half == 0 || raw.size() != 2 * half) return std::nullopt;
    EcdsaSignaturePtr sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw.data(), static_cast<int>(half), nullptr);
    BIGNUM* s = BN_bin2bn(raw.data() + half, static_cast<int>(half), nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return std::nullopt;
    }
    int length = i2d_ECDSA_SIG(sig.get(), nullptr);
    if (length <= 0) return std::nullopt;
    Bytes der(static_cast<std::size_t>(length));
    unsigned char* p = der.data();
    i2d_ECDSA_SIG(sig.get(), &p);
    return der;
}

}  // namespace

SignatureVerdict VerifyHashSignature(EVP_PKEY* publicKey, std::string_view hashAlgorithmOid, const Bytes& hash,
                                     const Bytes& signature)
{
    if (!publicKey) return {false, "no public key"};
    const EVP_MD* md = nullptr;
    if (!hashAlgorithmOid.empty()) {
        md = DigestForOid(hashAlgorithmOid);
        if (!md) return {false, "unknown hash algorithm " + std::string(hashAlgorithmOid)};
        if (hash.size() != static_cast<std::size_t>(EVP_MD_get_size(md)))
            return {false, "hash length does not fit the hash algorithm"};
    }
    if (signature.empty()) return {false, "empty signature"};

    EvpPkeyContextPtr context(EVP_PKEY_CTX_new(publicKey, nullptr));
    if (!context || EVP_PKEY_verify_init(context.get()) != 1) return {false, "cannot verify with this key"};

    Bytes toVerify = signature;
    switch (EVP_PKEY_get_base_id(publicKey)) {
    case EVP_PKEY_RSA:
        if (EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1)
            return {false, "cannot set PKCS#1 v1.5 padding"};
        // With a digest set, OpenSSL expects the DigestInfo inside the
        // padding; without one it compares the bare bytes.
        if (md && EVP_PKEY_CTX_set_signature_md(context.get(), md) != 1) return {false, "cannot set the digest"};
        break;
    case EVP_PKEY_EC: {
        auto der = EcdsaRawToDer(publicKey, signature);
        if (!der) return {false, "ECDSA signature is not r || s of the curve's length"};
        toVerify = std::move(*der);
        break;
    }
    default: return {false, "unsupported key type"};
    }
    int result = EVP_PKEY_verify(context.get(), toVerify.data(), toVerify.size(), hash.data(), hash.size());
    if (result == 1) return {true, {}};
    return {false, "signature does not verify"};
}

}  // namespace nerolin::devservice
