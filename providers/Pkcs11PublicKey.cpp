#include "providers/Pkcs11PublicKey.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/objects.h>

namespace nerolin {
namespace {

EvpPkeyPtr FromData(const char* type, OSSL_PARAM* params)
{
    EvpPkeyContextPtr context(EVP_PKEY_CTX_new_from_name(nullptr, type, nullptr));
    EVP_PKEY* key = nullptr;
    if (!context || EVP_PKEY_fromdata_init(context.get()) <= 0 ||
        EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params) <= 0) {
        ERR_clear_error();
        return nullptr;
    }
    return EvpPkeyPtr(key);
}

// The curve's short name from the DER ECParameters; only named curves.
const char* CurveName(const Bytes& parameters)
{
    const unsigned char* cursor = parameters.data();
    Asn1ObjectPtr oid(d2i_ASN1_OBJECT(nullptr, &cursor, static_cast<long>(parameters.size())));
    if (!oid || cursor != parameters.data() + parameters.size()) {
        ERR_clear_error();
        return nullptr;
    }
    const int nid = OBJ_obj2nid(oid.get());
    return nid == NID_undef ? nullptr : OBJ_nid2sn(nid);
}

EvpPkeyPtr EcKey(const char* curve, const unsigned char* point, std::size_t length)
{
    if (length == 0) return nullptr;
    ParamBuilderPtr builder(OSSL_PARAM_BLD_new());
    if (!builder || !OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, curve, 0) ||
        !OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, point, length))
        return nullptr;
    ParamsPtr params(OSSL_PARAM_BLD_to_param(builder.get()));
    return params ? FromData("EC", params.get()) : nullptr;
}

}  // namespace

EvpPkeyPtr RsaPublicKey(const Bytes& modulus, const Bytes& exponent)
{
    BignumPtr n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
    BignumPtr e(BN_bin2bn(exponent.data(), static_cast<int>(exponent.size()), nullptr));
    ParamBuilderPtr builder(OSSL_PARAM_BLD_new());
    if (!n || !e || !builder || !OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) ||
        !OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_RSA_E, e.get()))
        return nullptr;
    ParamsPtr params(OSSL_PARAM_BLD_to_param(builder.get()));
    return params ? FromData("RSA", params.get()) : nullptr;
}

EvpPkeyPtr EcPublicKey(const Bytes& parameters, const Bytes& point)
{
    const char* curve = CurveName(parameters);
    if (!curve) return nullptr;

    const unsigned char* cursor = point.data();
    Asn1OctetStringPtr wrapped(d2i_ASN1_OCTET_STRING(nullptr, &cursor, static_cast<long>(point.size())));
    if (wrapped && cursor == point.data() + point.size()) {
        if (EvpPkeyPtr key = EcKey(curve, ASN1_STRING_get0_data(wrapped.get()),
                                   static_cast<std::size_t>(ASN1_STRING_length(wrapped.get()))))
            return key;
    }
    ERR_clear_error();
    return EcKey(curve, point.data(), point.size());
}

}  // namespace nerolin
