#include "providers/TokenContents.h"

#include "common/OpenSslOwners.h"
#include "providers/Pkcs11KeySearch.h"
#include "providers/Pkcs11ObjectSearch.h"
#include "providers/Pkcs11Session.h"

namespace nerolin {
namespace {

constexpr CK_ULONG kMaximumIdLength = 1u << 16;
// The largest certificates fit many times.
constexpr CK_ULONG kMaximumCertificateLength = 1u << 20;

// The CKA_ID of the certificate object holding der (empty when it has no
// identifier); nullopt when there is no such object.
std::optional<Bytes> CertificateId(const Pkcs11Session& session, const Bytes& der)
{
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE search[2] = {{CKA_CLASS, &certificateClass, sizeof certificateClass},
                              {CKA_VALUE, const_cast<std::uint8_t*>(der.data()), static_cast<CK_ULONG>(der.size())}};
    std::optional<CK_OBJECT_HANDLE> object;
    {
        Pkcs11ObjectSearch objects(session, search);
        object = objects.Next();
    }
    if (!object) return std::nullopt;
    AttributeRead read = session.ReadAttributes(*object, {CKA_ID}, kMaximumIdLength, kUnloggedTwoCalls);
    return read.ok() ? std::move(read.values[0]) : Bytes();
}

bool HasPublicKey(const Pkcs11Session& session, const Bytes& id)
{
    CK_OBJECT_CLASS publicKey = CKO_PUBLIC_KEY;
    CK_ATTRIBUTE search[2] = {{CKA_CLASS, &publicKey, sizeof publicKey},
                              {CKA_ID, const_cast<std::uint8_t*>(id.data()), static_cast<CK_ULONG>(id.size())}};
    Pkcs11ObjectSearch objects(session, search);
    return objects.Next().has_value();
}

// Whether the token shows its private objects to this session: it needs no
// login, or the application is logged in.
bool KeysInSight(const Pkcs11Session& session, CK_FUNCTION_LIST* functions, CK_SLOT_ID slot)
{
    CK_TOKEN_INFO token{};
    if (Call(functions, &CK_FUNCTION_LIST::C_GetTokenInfo, kUnlogged, slot, &token) != CKR_OK) return false;
    return !(token.flags & CKF_LOGIN_REQUIRED) || session.UserLoggedIn();
}

}  // namespace

std::vector<Bytes> TokenCertificates(void* functionList, unsigned long slot)
{
    std::vector<Bytes> certificates;
    Pkcs11Session session(static_cast<CK_FUNCTION_LIST*>(functionList), slot);
    if (session.Open(kUnlogged) != CKR_OK) return certificates;
    // All handles first: the session has one search at a time.
    std::vector<CK_OBJECT_HANDLE> objects;
    {
        CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
        CK_ATTRIBUTE search{CKA_CLASS, &certificateClass, sizeof certificateClass};
        Pkcs11ObjectSearch found(session, {&search, 1});
        while (const std::optional<CK_OBJECT_HANDLE> object = found.Next()) objects.push_back(*object);
    }
    for (const CK_OBJECT_HANDLE object : objects) {
        AttributeRead read = session.ReadAttributes(object, {CKA_VALUE}, kMaximumCertificateLength,
                                                    {{"C_GetAttributeValue1"}, {"C_GetAttributeValue2"}});
        if (read.ok() && !read.values[0].empty()) certificates.push_back(std::move(read.values[0]));
    }
    return certificates;
}

TokenKey LookUpTokenKey(void* functionList, unsigned long slot, const Bytes& certificateDer)
{
    auto* functions = static_cast<CK_FUNCTION_LIST*>(functionList);
    Pkcs11Session session(functions, slot);
    if (session.Open(kUnlogged) != CKR_OK) return {};

    TokenKey answer;
    const std::optional<Bytes> certificateObjectId = CertificateId(session, certificateDer);
    answer.certificateOnToken = certificateObjectId.has_value();
    const Bytes certificateId = certificateObjectId.value_or(Bytes());
    const auto found = [&](TokenKey::Presence presence, const Bytes& id, CK_OBJECT_HANDLE key) {
        answer.presence = presence;
        answer.id = id;
        answer.handle = key;
        return answer;
    };
    if (!certificateId.empty()) {
        if (const auto key = FindPrivateKey(session, certificateId))
            return found(TokenKey::Presence::Found, certificateId, *key);
    }
    const unsigned char* cursor = certificateDer.data();
    X509Ptr certificate(d2i_X509(nullptr, &cursor, static_cast<long>(certificateDer.size())));
    const std::optional<Bytes> publicKeyId = FindKeyIdByPublicKey(session, certificate.get());
    if (publicKeyId && !publicKeyId->empty() && *publicKeyId != certificateId) {
        if (const auto key = FindPrivateKey(session, *publicKeyId))
            return found(TokenKey::Presence::Found, *publicKeyId, *key);
    }
    if (KeysInSight(session, functions, slot)) return found(TokenKey::Presence::Absent, {}, 0);
    if (!certificateId.empty() && HasPublicKey(session, certificateId))
        return found(TokenKey::Presence::Likely, certificateId, 0);
    if (publicKeyId && !publicKeyId->empty()) return found(TokenKey::Presence::Likely, *publicKeyId, 0);
    return answer;
}

}  // namespace nerolin
