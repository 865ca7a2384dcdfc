#include "providers/Pkcs11KeySearch.h"

#include "common/OpenSslOwners.h"
#include "eventlog/EventLog.h"
#include "providers/Pkcs11PublicKey.h"
#include "providers/Pkcs11Session.h"

namespace nerolin {
namespace {

// The public key of one public-key object, or null (with the entries of a
// failed read) when it cannot be built or has another type.
EvpPkeyPtr ObjectPublicKey(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object)
{
    CK_KEY_TYPE keyType = 0;
    CK_ATTRIBUTE typeAttribute{CKA_KEY_TYPE, &keyType, sizeof keyType};
    const CK_RV typed = functions->C_GetAttributeValue(session, object, &typeAttribute, 1);
    if (typed != CKR_OK) {
        WriteReturnValueEntry(EntryType::Warning, "PUBLIC KEY - C_GetAttributeValue", typed);
        return nullptr;
    }

    CK_ATTRIBUTE_TYPE first = 0;
    CK_ATTRIBUTE_TYPE second = 0;
    std::string prefix;
    if (keyType == CKK_RSA) {
        first = CKA_MODULUS;
        second = CKA_PUBLIC_EXPONENT;
        prefix = "RSA PUBLIC KEY - ";
    } else if (keyType == CKK_EC) {
        first = CKA_EC_PARAMS;
        second = CKA_EC_POINT;
        prefix = "EC PUBLIC KEY - ";
    } else {
        return nullptr;
    }

    // Both attributes in one call: first their sizes, then their values.
    CK_ATTRIBUTE attributes[2] = {{first, nullptr, 0}, {second, nullptr, 0}};
    const CK_RV sized = functions->C_GetAttributeValue(session, object, attributes, 2);
    if (sized != CKR_OK || attributes[0].ulValueLen > (1u << 16) || attributes[1].ulValueLen > (1u << 16)) {
        WriteReturnValueEntry(EntryType::Error, prefix + "C_GetAttributeValue1",
                              sized != CKR_OK ? sized : CKR_ATTRIBUTE_VALUE_INVALID);
        return nullptr;
    }
    Bytes one(attributes[0].ulValueLen);
    Bytes two(attributes[1].ulValueLen);
    attributes[0].pValue = one.data();
    attributes[1].pValue = two.data();
    const CK_RV read = functions->C_GetAttributeValue(session, object, attributes, 2);
    if (read != CKR_OK) {
        WriteReturnValueEntry(EntryType::Error, prefix + "C_GetAttributeValue2", read);
        return nullptr;
    }
    one.resize(attributes[0].ulValueLen);
    two.resize(attributes[1].ulValueLen);
    return keyType == CKK_RSA ? RsaPublicKey(one, two) : EcPublicKey(one, two);
}

}  // namespace

std::optional<CK_OBJECT_HANDLE> FindPrivateKey(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, const Bytes& id)
{
    CK_OBJECT_CLASS privateKey = CKO_PRIVATE_KEY;
    CK_ATTRIBUTE search[2] = {{CKA_CLASS, &privateKey, sizeof privateKey},
                              {CKA_ID, const_cast<std::uint8_t*>(id.data()), id.size()}};
    const CK_RV initialized = functions->C_FindObjectsInit(session, search, 2);
    if (initialized != CKR_OK) {
        WriteReturnValueEntry(EntryType::Error, "C_FindObjectsInit", initialized);
        return std::nullopt;
    }
    std::optional<CK_OBJECT_HANDLE> key;
    for (;;) {
        CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
        CK_ULONG found = 0;
        const CK_RV next = functions->C_FindObjects(session, &object, 1, &found);
        if (next != CKR_OK) {
            WriteReturnValueEntry(EntryType::Error, "C_FindObjects", next);
            break;
        }
        if (found == 0) break;
        key = object;
    }
    const CK_RV finished = functions->C_FindObjectsFinal(session);
    if (finished != CKR_OK) WriteReturnValueEntry(EntryType::Warning, "C_FindObjectsFinal", finished);
    return key;
}

std::optional<Bytes> FindKeyIdByPublicKey(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session, X509* certificate)
{
    EVP_PKEY* certificateKey = certificate ? X509_get0_pubkey(certificate) : nullptr;
    if (!certificateKey) return std::nullopt;

    CK_OBJECT_CLASS publicKey = CKO_PUBLIC_KEY;
    CK_ATTRIBUTE search{CKA_CLASS, &publicKey, sizeof publicKey};
    const CK_RV initialized = functions->C_FindObjectsInit(session, &search, 1);
    if (initialized != CKR_OK) {
        WriteReturnValueEntry(EntryType::Error, "PUBLIC KEY - C_FindObjectsInit", initialized);
        return std::nullopt;
    }

    std::optional<Bytes> id;
    while (!id) {
        CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
        CK_ULONG found = 0;
        const CK_RV next = functions->C_FindObjects(session, &object, 1, &found);
        if (next != CKR_OK) {
            WriteReturnValueEntry(EntryType::Error, "PUBLIC KEY - C_FindObjects", next);
            break;
        }
        if (found == 0) break;

        EvpPkeyPtr key = ObjectPublicKey(functions, session, object);
        if (!key || EVP_PKEY_eq(key.get(), certificateKey) != 1) continue;

        const AttributeRead read = ReadAttribute(functions, session, object, CKA_ID);
        if (read.sizeResult != CKR_OK) {
            WriteReturnValueEntry(EntryType::Warning, "C_GetAttributeValue1", read.sizeResult);
            continue;
        }
        if (read.valueResult != CKR_OK) {
            WriteReturnValueEntry(EntryType::Warning, "PUBLIC KEY - C_GetAttributeValue2", read.valueResult);
            continue;
        }
        id = read.value;
    }

    const CK_RV finished = functions->C_FindObjectsFinal(session);
    if (finished != CKR_OK) WriteReturnValueEntry(EntryType::Warning, "C_FindObjectsFinal", finished);
    return id;
}

}  // namespace nerolin
