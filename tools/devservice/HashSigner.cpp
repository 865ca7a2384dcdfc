#include "tools/devservice/HashSigner.h"

#include <openssl/ecdsa.h>
#include <openssl/rsa.h>

#include "common/OpenSslOwners.h"
#include "tools/devservice/SignatureCheck.h"

namespace nerolin::devservice {

std::optional<Bytes> SignHashBytes(EVP_PKEY* privateKey, std::string_view hashAlgorithmOid, const Bytes& hash)
{
    EvpPkeyContextPtr context(EVP_PKEY_CTX_new(privateKey, nullptr));
    if (!context || EVP_PKEY_sign_init(context.get()) != 1) return std::nullopt;
    int type = EVP_PKEY_get_base_id(privateKey);
    if (type == EVP_PKEY_RSA) {
        if (EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1) return std::nullopt;
        if (!hashAlgorithmOid.empty()) {
            const EVP_MD* md = DigestForOid(hashAlgorithmOid);
            if (!md || EVP_PKEY_CTX_set_signature_md(context.get(), md) != 1) return std::nullopt;
        }
    } else if (type != EVP_PKEY_EC) {
        return std::nullopt;
    }
    std::size_t length = 0;
    if (EVP_PKEY_sign(context.get(), nullptr, &length, hash.data(), hash.size()) != 1) return std::nullopt;
    Bytes signature(length);
    if (EVP_PKEY_sign(context.get(), signature.data(), &length, hash.data(), hash.size()) != 1) return std::nullopt;
    signature.resize(length);
    if (type == EVP_PKEY_RSA) return signature;

    // DER ECDSA-Sig-Value to r || s of the curve's length.
    const unsigned char* p = signature.data();
    EcdsaSignaturePtr sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(signature.size())));
    if (!sig) return std::nullopt;
    int half = (EVP_PKEY_get_bits(privateKey) + 7) / 8;
    Bytes raw(static_cast<std::size_t>(2 * half));
    if (BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), raw.data(), half) != half ||
        BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), raw.data() + half, half) != half)
        return std::nullopt;
    return raw;
}

}  // namespace nerolin::devservice
