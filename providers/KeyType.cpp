#include "providers/KeyType.h"

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "eventlog/EventLog.h"

namespace nerolin {
namespace {

const char* KeyTypeEntry(KeyType type)
{
    switch (type) {
    case KeyType::RSA: return "Type of key is RSA";
    case KeyType::DSA: return "Type of key is DSA";
    case KeyType::EC: return "Type of key is EC";
    default: return "Type of key is unknown";
    }
}

std::string AlgorithmOid(const X509* certificate)
{
    const ASN1_OBJECT* algorithm = nullptr;
    X509_PUBKEY* key = X509_get_X509_PUBKEY(certificate);
    if (!key || !X509_PUBKEY_get0_param(const_cast<ASN1_OBJECT**>(&algorithm), nullptr, nullptr, nullptr, key) ||
        !algorithm)
        return {};
    char text[128];
    const int length = OBJ_obj2txt(text, sizeof text, algorithm, 1);
    return length > 0 && length < static_cast<int>(sizeof text) ? std::string(text, length) : std::string();
}

}  // namespace

KeyType KeyTypeFromAlgorithmOid(std::string_view oid)
{
    if (oid == "1.2.840.113549.1.1.1") return KeyType::RSA;
    if (oid == "1.2.840.10040.4.1") return KeyType::DSA;
    if (oid == "1.2.840.10045.2.1") return KeyType::EC;
    return KeyType::Unknown;
}

KeyType DetectKeyType(const Bytes& certificate)
{
    const unsigned char* cursor = certificate.data();
    X509Ptr x509(certificate.empty() ? nullptr : d2i_X509(nullptr, &cursor, static_cast<long>(certificate.size())));
    if (!x509) return KeyType::Unknown;
    WriteEventEntry(EntryType::Information, "Issuer DN of signing certificate: " +
                                                CertNameString(x509.get(), CertNameType::Rdn, kCertNameIssuerFlag));
    const KeyType type = KeyTypeFromAlgorithmOid(AlgorithmOid(x509.get()));
    WriteEventEntry(EntryType::Information, KeyTypeEntry(type));
    return type;
}

}  // namespace nerolin
