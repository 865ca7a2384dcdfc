#pragma once

// Owners of the OpenSSL objects that Nerolin holds: each a std::unique_ptr
// whose deleter is the object's own free function.

#include <memory>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/param_build.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace nerolin {

template <auto FreeFunction>
struct OpenSslDeleter {
    template <typename T>
    void operator()(T* object) const
    {
        FreeFunction(object);
    }
};

template <typename T, auto FreeFunction>
using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<FreeFunction>>;

namespace detail {
inline void FreeX509Stack(STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); }
inline void FreeOpenSslBuffer(unsigned char* buffer) { OPENSSL_free(buffer); }
inline void FreeOpenSslText(char* text) { OPENSSL_free(text); }
inline void FreeParams(OSSL_PARAM* params) { OSSL_PARAM_free(params); }
}  // namespace detail

using X509Ptr = OpenSslPtr<X509, X509_free>;
using X509NamePtr = OpenSslPtr<X509_NAME, X509_NAME_free>;
using X509StackPtr = OpenSslPtr<STACK_OF(X509), detail::FreeX509Stack>;
using X509StorePtr = OpenSslPtr<X509_STORE, X509_STORE_free>;
using X509StoreContextPtr = OpenSslPtr<X509_STORE_CTX, X509_STORE_CTX_free>;
using X509ExtensionPtr = OpenSslPtr<X509_EXTENSION, X509_EXTENSION_free>;

using EvpPkeyPtr = OpenSslPtr<EVP_PKEY, EVP_PKEY_free>;
using EvpPkeyContextPtr = OpenSslPtr<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using EvpMdContextPtr = OpenSslPtr<EVP_MD_CTX, EVP_MD_CTX_free>;
using EvpCipherContextPtr = OpenSslPtr<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>;
using EvpKdfPtr = OpenSslPtr<EVP_KDF, EVP_KDF_free>;
using EvpKdfContextPtr = OpenSslPtr<EVP_KDF_CTX, EVP_KDF_CTX_free>;
using ParamBuilderPtr = OpenSslPtr<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>;
using ParamsPtr = OpenSslPtr<OSSL_PARAM, detail::FreeParams>;

using BioPtr = OpenSslPtr<BIO, BIO_free_all>;
using BignumPtr = OpenSslPtr<BIGNUM, BN_free>;
using EcdsaSignaturePtr = OpenSslPtr<ECDSA_SIG, ECDSA_SIG_free>;

using Asn1ObjectPtr = OpenSslPtr<ASN1_OBJECT, ASN1_OBJECT_free>;
using Asn1IntegerPtr = OpenSslPtr<ASN1_INTEGER, ASN1_INTEGER_free>;
using Asn1OctetStringPtr = OpenSslPtr<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>;
using Asn1StringPtr = OpenSslPtr<ASN1_STRING, ASN1_STRING_free>;
using Asn1TimePtr = OpenSslPtr<ASN1_TIME, ASN1_TIME_free>;
using Asn1TypePtr = OpenSslPtr<ASN1_TYPE, ASN1_TYPE_free>;
using BitStringPtr = OpenSslPtr<ASN1_BIT_STRING, ASN1_BIT_STRING_free>;
using AuthorityKeyIdPtr = OpenSslPtr<AUTHORITY_KEYID, AUTHORITY_KEYID_free>;
using GeneralNamesPtr = OpenSslPtr<GENERAL_NAMES, GENERAL_NAMES_free>;
using BasicConstraintsPtr = OpenSslPtr<BASIC_CONSTRAINTS, BASIC_CONSTRAINTS_free>;
using ExtendedKeyUsagePtr = OpenSslPtr<EXTENDED_KEY_USAGE, EXTENDED_KEY_USAGE_free>;
using CertificatePoliciesPtr = OpenSslPtr<CERTIFICATEPOLICIES, CERTIFICATEPOLICIES_free>;

using SslContextPtr = OpenSslPtr<SSL_CTX, SSL_CTX_free>;

// Memory that OpenSSL allocated for the caller (i2d_* output, BN_bn2hex, ...).
using OpenSslBufferPtr = OpenSslPtr<unsigned char, detail::FreeOpenSslBuffer>;
using OpenSslTextPtr = OpenSslPtr<char, detail::FreeOpenSslText>;

}  // namespace nerolin
