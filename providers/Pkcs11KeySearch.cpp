#include "providers/Pkcs11KeySearch.h"

#include "common/OpenSslOwners.h"
#include "eventlog/EventLog.h"
#include "providers/Pkcs11ObjectSearch.h"
#include "providers/Pkcs11PublicKey.h"
#include "providers/Pkcs11Session.h"

namespace nerolin {
namespace {

// Bounds of what a module can make us allocate: public-key parts of the
// largest RSA keys fit many times, and so does any CKA_ID.
constexpr CK_ULONG kMaximumKeyPartLength = 1u << 16;
constexpr CK_ULONG kMaximumIdLength = 1u << 20;

// The two attributes a public key is built from, per key type, and the
// names its reads are logged under.
struct PublicKeyParts {
    CK_KEY_TYPE keyType;
    CK_ATTRIBUTE_TYPE first;
    CK_ATTRIBUTE_TYPE second;
    TwoCallChecks checks;
    EvpPkeyPtr (*build)(const Bytes&, const Bytes&);
};
const PublicKeyParts kPublicKeyParts[] = {
    {CKK_RSA,
     CKA_MODULUS,
     CKA_PUBLIC_EXPONENT,
     {{"RSA PUBLIC KEY - C_GetAttributeValue1"}, {"RSA PUBLIC KEY - C_GetAttributeValue2"}},
     RsaPublicKey},
    {CKK_EC,
     CKA_EC_PARAMS,
     CKA_EC_POINT,
     {{"EC PUBLIC KEY - C_GetAttributeValue1"}, {"EC PUBLIC KEY - C_GetAttributeValue2"}},
     EcPublicKey},
};

// The public key of one public-key object, or null (with the entries of a
// failed read) when it cannot be built or has another type.
EvpPkeyPtr ObjectPublicKey(const Pkcs11Session& session, CK_OBJECT_HANDLE object)
{
    CK_KEY_TYPE keyType = 0;
    if (session.ReadValue(object, CKA_KEY_TYPE, {"PUBLIC KEY - C_GetAttributeValue", EntryType::Warning}, keyType) !=
        CKR_OK)
        return nullptr;
    for (const PublicKeyParts& parts : kPublicKeyParts) {
        if (parts.keyType != keyType) continue;
        // Both attributes in one call: first their sizes, then their values.
        const AttributeRead read =
            session.ReadAttributes(object, {parts.first, parts.second}, kMaximumKeyPartLength, parts.checks);
        return read.ok() ? parts.build(read.values[0], read.values[1]) : nullptr;
    }
    return nullptr;
}

}  // namespace

std::optional<CK_OBJECT_HANDLE> FindPrivateKey(const Pkcs11Session& session, const Bytes& id)
{
    CK_OBJECT_CLASS privateKey = CKO_PRIVATE_KEY;
    CK_ATTRIBUTE search[2] = {{CKA_CLASS, &privateKey, sizeof privateKey},
                              {CKA_ID, const_cast<std::uint8_t*>(id.data()), static_cast<CK_ULONG>(id.size())}};
    Pkcs11ObjectSearch objects(session, search);
    std::optional<CK_OBJECT_HANDLE> key;
    while (const std::optional<CK_OBJECT_HANDLE> object = objects.Next()) key = object;
    return key;
}

std::optional<Bytes> FindKeyIdByPublicKey(const Pkcs11Session& session, X509* certificate)
{
    EVP_PKEY* certificateKey = certificate ? X509_get0_pubkey(certificate) : nullptr;
    if (!certificateKey) return std::nullopt;

    CK_OBJECT_CLASS publicKey = CKO_PUBLIC_KEY;
    CK_ATTRIBUTE search{CKA_CLASS, &publicKey, sizeof publicKey};
    Pkcs11ObjectSearch objects(session, {&search, 1},
                               {{"PUBLIC KEY - C_FindObjectsInit"}, {"PUBLIC KEY - C_FindObjects"}});
    while (const std::optional<CK_OBJECT_HANDLE> object = objects.Next()) {
        EvpPkeyPtr key = ObjectPublicKey(session, *object);
        if (!key || EVP_PKEY_eq(key.get(), certificateKey) != 1) continue;

        AttributeRead read = session.ReadAttributes(
            *object, {CKA_ID}, kMaximumIdLength,
            {{"C_GetAttributeValue1", EntryType::Warning}, {"PUBLIC KEY - C_GetAttributeValue2", EntryType::Warning}});
        if (read.ok()) return std::move(read.values[0]);
    }
    return std::nullopt;
}

}  // namespace nerolin
