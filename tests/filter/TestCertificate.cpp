#include "tests/filter/TestCertificate.h"

#include <memory>
#include <stdexcept>

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace nerolin::test {
namespace {

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* p) const
    {
        Free(p);
    }
};

void Check(bool ok, const char* what)
{
    if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

EVP_PKEY* Key()
{
    static std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>> key(EVP_EC_gen("P-256"));
    return key.get();
}

std::unique_ptr<X509_NAME, Deleter<X509_NAME_free>> Name(const std::string& text)
{
    // "CN=a,O=b": attributes in the order given.
    std::unique_ptr<X509_NAME, Deleter<X509_NAME_free>> name(X509_NAME_new());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string part = text.substr(start, end - start);
        const auto equals = part.find('=');
        Check(equals != std::string::npos, "name");
        Check(X509_NAME_add_entry_by_txt(name.get(), part.substr(0, equals).c_str(), MBSTRING_UTF8,
                                         reinterpret_cast<const unsigned char*>(part.c_str() + equals + 1), -1, -1,
                                         0) == 1,
              "name entry");
        start = end + 1;
    }
    return name;
}

ASN1_INTEGER* Integer(const std::string& hex)
{
    BIGNUM* number = nullptr;
    Check(BN_hex2bn(&number, hex.c_str()) > 0, "serial");
    ASN1_INTEGER* integer = BN_to_ASN1_INTEGER(number, nullptr);
    BN_free(number);
    Check(integer != nullptr, "serial");
    return integer;
}

void AddAuthorityKeyId(X509* certificate, const AuthorityKeyIdSpec& spec)
{
    std::unique_ptr<AUTHORITY_KEYID, Deleter<AUTHORITY_KEYID_free>> aki(AUTHORITY_KEYID_new());
    if (spec.keyIdentifier) {
        aki->keyid = ASN1_OCTET_STRING_new();
        ASN1_OCTET_STRING_set(aki->keyid, spec.keyIdentifier->data(), static_cast<int>(spec.keyIdentifier->size()));
    }
    if (!spec.issuerNames.empty()) {
        aki->issuer = GENERAL_NAMES_new();
        for (const auto& text : spec.issuerNames) {
            GENERAL_NAME* name = GENERAL_NAME_new();
            if (text.rfind("dns:", 0) == 0) {
                ASN1_IA5STRING* dns = ASN1_IA5STRING_new();
                ASN1_STRING_set(dns, text.c_str() + 4, -1);
                GENERAL_NAME_set0_value(name, GEN_DNS, dns);
            } else {
                GENERAL_NAME_set0_value(name, GEN_DIRNAME, Name(text).release());
            }
            sk_GENERAL_NAME_push(aki->issuer, name);
        }
    }
    if (spec.serialHex) aki->serial = Integer(*spec.serialHex);
    Check(X509_add1_ext_i2d(certificate, NID_authority_key_identifier, aki.get(), 0, X509V3_ADD_DEFAULT) == 1,
          "authority key identifier");
}

void AddRawExtension(X509* certificate, int nid, const Bytes& content)
{
    std::unique_ptr<ASN1_OCTET_STRING, Deleter<ASN1_OCTET_STRING_free>> value(ASN1_OCTET_STRING_new());
    ASN1_OCTET_STRING_set(value.get(), content.data(), static_cast<int>(content.size()));
    std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>> extension(
        X509_EXTENSION_create_by_NID(nullptr, nid, 0, value.get()));
    Check(extension && X509_add_ext(certificate, extension.get(), -1) == 1, "raw extension");
}

Bytes Tlv(std::uint8_t tag, const Bytes& content)
{
    Bytes out{tag};
    const std::size_t length = content.size();
    if (length < 0x80) {
        out.push_back(static_cast<std::uint8_t>(length));
    } else {
        Check(length <= 0xFFFF, "length");
        out.insert(out.end(), {0x82, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

}  // namespace

Bytes DerOid(const char* dotted)
{
    std::unique_ptr<ASN1_OBJECT, Deleter<ASN1_OBJECT_free>> object(OBJ_txt2obj(dotted, 1));
    Check(object != nullptr, "oid");
    unsigned char* der = nullptr;
    const int length = i2d_ASN1_OBJECT(object.get(), &der);
    Check(length > 0, "oid");
    Bytes out(der, der + length);
    OPENSSL_free(der);
    return out;
}

Bytes DerSequence(const std::vector<Bytes>& items)
{
    Bytes content;
    for (const auto& item : items) content.insert(content.end(), item.begin(), item.end());
    return Tlv(0x30, content);
}

Bytes QcStatement(const char* oid, std::optional<Bytes> info)
{
    std::vector<Bytes> items{DerOid(oid)};
    if (info) items.push_back(*info);
    return DerSequence(items);
}

Bytes MakeCertificate(const CertificateSpec& spec)
{
    std::unique_ptr<X509, Deleter<X509_free>> certificate(X509_new());
    X509* x = certificate.get();
    Check(X509_set_version(x, X509_VERSION_3) == 1, "version");
    ASN1_INTEGER* serial = Integer(spec.serialHex);
    X509_set_serialNumber(x, serial);
    ASN1_INTEGER_free(serial);
    X509_set_issuer_name(x, Name("CN=Nerolin Test CA,O=Nerolin Test").get());
    X509_set_subject_name(x, Name("CN=Test Signer,O=Nerolin Test").get());
    X509_gmtime_adj(X509_getm_notBefore(x), spec.notBeforeOffset);
    X509_gmtime_adj(X509_getm_notAfter(x), spec.notAfterOffset);
    X509_set_pubkey(x, Key());

    if (spec.keyUsage) {
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, x, x, nullptr, nullptr, 0);
        std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>> usage(
            X509V3_EXT_conf_nid(nullptr, &context, NID_key_usage, spec.keyUsage->c_str()));
        Check(usage && X509_add_ext(x, usage.get(), -1) == 1, "key usage");
    }
    if (spec.qcStatements) AddRawExtension(x, NID_qcStatements, *spec.qcStatements);
    if (spec.authorityKeyId) AddAuthorityKeyId(x, *spec.authorityKeyId);

    Check(X509_sign(x, Key(), EVP_sha256()) > 0, "sign");
    unsigned char* der = nullptr;
    const int length = i2d_X509(x, &der);
    Check(length > 0, "encode");
    Bytes out(der, der + length);
    OPENSSL_free(der);
    return out;
}

}  // namespace nerolin::test
