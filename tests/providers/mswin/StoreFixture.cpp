#include "tests/providers/mswin/StoreFixture.h"

#include <openssl/core_names.h>
#include <openssl/pkcs12.h>

#include <vector>

#include "common/OpenSslOwners.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

StorePtr OpenMyForWriting()
{
    return StorePtr(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"MY"));
}

Bytes BigEndian(const EVP_PKEY* key, const char* name, std::size_t size)
{
    BIGNUM* number = nullptr;
    if (!EVP_PKEY_get_bn_param(key, name, &number)) return {};
    Bytes bytes(size ? size : static_cast<std::size_t>(BN_num_bytes(number)));
    BN_bn2binpad(number, bytes.data(), static_cast<int>(bytes.size()));
    BN_free(number);
    return bytes;
}

}  // namespace

Bytes MakePfx(std::string_view identity, bool aes)
{
    const SigningIdentityFiles files = SigningIdentity(identity);
    X509Ptr certificate = LoadCertificate(files.certificatePem);
    EvpPkeyPtr key = LoadPrivateKey(files.privateKeyPem);
    if (!certificate || !key) return {};
    const int keyCipher = aes ? NID_aes_256_cbc : NID_pbe_WithSHA1And3_Key_TripleDES_CBC;
    PKCS12* pkcs12 =
        PKCS12_create("", "Nerolin test", key.get(), certificate.get(), nullptr, keyCipher, keyCipher, 0, 0, 0);
    if (!pkcs12) return {};
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(pkcs12, &der);
    PKCS12_free(pkcs12);
    Bytes bytes(der, der + (length > 0 ? length : 0));
    OPENSSL_free(der);
    return bytes;
}

bool ImportIntoMy(const Bytes& pfx)
{
    CRYPT_DATA_BLOB blob{static_cast<DWORD>(pfx.size()), const_cast<BYTE*>(pfx.data())};
    StorePtr imported(PFXImportCertStore(&blob, L"", CRYPT_USER_KEYSET));
    StorePtr my = OpenMyForWriting();
    if (!imported || !my) return false;
    bool any = false;
    for (const CERT_CONTEXT* certificate = CertEnumCertificatesInStore(imported.get(), nullptr); certificate;
         certificate = CertEnumCertificatesInStore(imported.get(), certificate)) {
        if (!CertAddCertificateContextToStore(my.get(), certificate, CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
            CertFreeCertificateContext(certificate);
            return false;
        }
        any = true;
    }
    return any;
}

bool AddToMyWithKeyOf(std::string_view identity, const wchar_t* provider, const wchar_t* container, DWORD provType,
                      DWORD keySpec)
{
    const Bytes der = LoadCertificateDer(SigningIdentity(identity).certificatePem);
    StorePtr my = OpenMyForWriting();
    if (der.empty() || !my) return false;
    const CERT_CONTEXT* added = nullptr;
    if (!CertAddEncodedCertificateToStore(my.get(), X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, &added))
        return false;
    CertificateContextPtr owned(added);
    if (!provider) return true;
    CRYPT_KEY_PROV_INFO info{};
    info.pwszContainerName = const_cast<wchar_t*>(container);
    info.pwszProvName = const_cast<wchar_t*>(provider);
    info.dwProvType = provType;
    info.dwKeySpec = keySpec;
    return CertSetCertificateContextProperty(owned.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info);
}

void EmptyMy()
{
    StorePtr my = OpenMyForWriting();
    if (!my) return;
    while (const CERT_CONTEXT* certificate = CertEnumCertificatesInStore(my.get(), nullptr))
        CertDeleteCertificateFromStore(certificate);  // frees the context too
}

NCryptKeyHandle ImportCngKey(std::string_view identity)
{
    EvpPkeyPtr key = LoadPrivateKey(SigningIdentity(identity).privateKeyPem);
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) return {};
    // BCRYPT_RSAPRIVATE_BLOB: the header, then exponent, modulus and the two
    // primes, each big-endian.
    const Bytes exponent = BigEndian(key.get(), OSSL_PKEY_PARAM_RSA_E, 0);
    const std::size_t bits = static_cast<std::size_t>(EVP_PKEY_get_bits(key.get()));
    const Bytes modulus = BigEndian(key.get(), OSSL_PKEY_PARAM_RSA_N, (bits + 7) / 8);
    const Bytes prime1 = BigEndian(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, 0);
    const Bytes prime2 = BigEndian(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, 0);
    BCRYPT_RSAKEY_BLOB header{BCRYPT_RSAPRIVATE_MAGIC,
                              static_cast<ULONG>(bits),
                              static_cast<ULONG>(exponent.size()),
                              static_cast<ULONG>(modulus.size()),
                              static_cast<ULONG>(prime1.size()),
                              static_cast<ULONG>(prime2.size())};
    Bytes blob(reinterpret_cast<const std::uint8_t*>(&header), reinterpret_cast<const std::uint8_t*>(&header + 1));
    for (const Bytes* part : {&exponent, &modulus, &prime1, &prime2})
        blob.insert(blob.end(), part->begin(), part->end());

    NCRYPT_PROV_HANDLE opened = 0;
    if (NCryptOpenStorageProvider(&opened, MS_KEY_STORAGE_PROVIDER, 0) != ERROR_SUCCESS) return {};
    NCryptProviderHandle provider(opened);
    NCRYPT_KEY_HANDLE imported = 0;
    if (NCryptImportKey(provider.get(), 0, BCRYPT_RSAPRIVATE_BLOB, nullptr, &imported, blob.data(),
                        static_cast<DWORD>(blob.size()), 0) != ERROR_SUCCESS)
        return {};
    return NCryptKeyHandle(imported);
}

std::string Fingerprint(std::string_view identity)
{
    const Bytes der = LoadCertificateDer(SigningIdentity(identity).certificatePem);
    unsigned char digest[20];
    unsigned int length = 0;
    EVP_Digest(der.data(), der.size(), digest, &length, EVP_sha1(), nullptr);
    return HexEncode(Bytes(digest, digest + length));
}

std::string CertificateText(std::string_view identity)
{
    return Base64Encode(LoadCertificateDer(SigningIdentity(identity).certificatePem), Base64Format::Base64Header);
}

Bytes TestHash(std::size_t length, std::uint8_t seed)
{
    Bytes hash(length);
    for (std::size_t i = 0; i < length; ++i) hash[i] = static_cast<std::uint8_t>(seed + i);
    return hash;
}

}  // namespace nerolin::test
