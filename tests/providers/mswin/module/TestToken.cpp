// A PKCS#11 module for tests on systems without SoftHSM: one slot with one
// token that holds one certificate of the development PKI and its RSA key,
// in memory, signing with OpenSSL. It answers the calls the providers make
// (slots, tokens, sessions, object search, attributes, login, CKM_RSA_PKCS
// signing) and nothing else. The user PIN is NEROLIN_TEST_TOKEN_PIN; a wrong
// one gives CKR_PIN_INCORRECT, and private objects stay hidden until login.

#define CRYPTOKI_EXPORTS
#include <p11-kit-1/p11-kit/pkcs11.h>

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr CK_SLOT_ID kSlot = 1;
constexpr CK_SESSION_HANDLE kFirstSession = 100;
constexpr unsigned char kId[] = {0x4E, 0x01};

constexpr CK_OBJECT_HANDLE kCertificate = 1;
constexpr CK_OBJECT_HANDLE kPrivateKey = 2;

struct Token {
    Bytes certificate;
    Bytes modulus;
    Bytes exponent;
    EVP_PKEY* key = nullptr;
};

struct Session {
    CK_SESSION_HANDLE handle = 0;
    std::vector<CK_OBJECT_HANDLE> found;
    bool signing = false;
};

std::mutex gMutex;
bool gInitialized = false;
bool gLoggedIn = false;
Token gToken;
std::vector<Session> gSessions;
CK_SESSION_HANDLE gNextSession = kFirstSession;

Bytes BigEndian(const EVP_PKEY* key, const char* name)
{
    BIGNUM* number = nullptr;
    if (!EVP_PKEY_get_bn_param(key, name, &number)) return {};
    Bytes bytes(static_cast<std::size_t>(BN_num_bytes(number)));
    BN_bn2bin(number, bytes.data());
    BN_free(number);
    return bytes;
}

bool LoadToken()
{
    FILE* certificateFile = std::fopen(NEROLIN_TEST_TOKEN_CERTIFICATE, "rb");
    FILE* keyFile = std::fopen(NEROLIN_TEST_TOKEN_KEY, "rb");
    X509* certificate = certificateFile ? PEM_read_X509(certificateFile, nullptr, nullptr, nullptr) : nullptr;
    EVP_PKEY* key = keyFile ? PEM_read_PrivateKey(keyFile, nullptr, nullptr, nullptr) : nullptr;
    if (certificateFile) std::fclose(certificateFile);
    if (keyFile) std::fclose(keyFile);
    bool ok = certificate && key;
    if (ok) {
        const int length = i2d_X509(certificate, nullptr);
        gToken.certificate.resize(static_cast<std::size_t>(length));
        unsigned char* cursor = gToken.certificate.data();
        i2d_X509(certificate, &cursor);
        gToken.modulus = BigEndian(key, OSSL_PKEY_PARAM_RSA_N);
        gToken.exponent = BigEndian(key, OSSL_PKEY_PARAM_RSA_E);
        gToken.key = key;
        key = nullptr;
    }
    X509_free(certificate);
    EVP_PKEY_free(key);
    return ok;
}

Session* FindSession(CK_SESSION_HANDLE handle)
{
    for (Session& session : gSessions)
        if (session.handle == handle) return &session;
    return nullptr;
}

void Pad(CK_UTF8CHAR* field, std::size_t size, const char* text)
{
    std::memset(field, ' ', size);
    std::memcpy(field, text, std::min(size, std::strlen(text)));
}

// One attribute into the caller's template entry, by the two-call rule.
CK_RV Put(CK_ATTRIBUTE& attribute, const void* value, std::size_t length)
{
    if (!attribute.pValue) {
        attribute.ulValueLen = static_cast<CK_ULONG>(length);
        return CKR_OK;
    }
    if (attribute.ulValueLen < length) {
        attribute.ulValueLen = static_cast<CK_ULONG>(-1);
        return CKR_BUFFER_TOO_SMALL;
    }
    std::memcpy(attribute.pValue, value, length);
    attribute.ulValueLen = static_cast<CK_ULONG>(length);
    return CKR_OK;
}

CK_RV AttributeOf(CK_OBJECT_HANDLE object, CK_ATTRIBUTE& attribute)
{
    static const CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    static const CK_OBJECT_CLASS keyClass = CKO_PRIVATE_KEY;
    static const CK_KEY_TYPE rsa = CKK_RSA;
    static const CK_BBOOL no = CK_FALSE;
    static const CK_BBOOL yes = CK_TRUE;
    static const char label[] = "Nerolin test key";
    const bool certificate = object == kCertificate;
    switch (attribute.type) {
    case CKA_CLASS: return Put(attribute, certificate ? &certificateClass : &keyClass, sizeof(CK_OBJECT_CLASS));
    case CKA_ID: return Put(attribute, kId, sizeof kId);
    case CKA_LABEL: return Put(attribute, label, sizeof label - 1);
    case CKA_TOKEN: return Put(attribute, &yes, sizeof yes);
    case CKA_VALUE:
        if (certificate) return Put(attribute, gToken.certificate.data(), gToken.certificate.size());
        break;
    case CKA_KEY_TYPE:
        if (!certificate) return Put(attribute, &rsa, sizeof rsa);
        break;
    case CKA_MODULUS:
        if (!certificate) return Put(attribute, gToken.modulus.data(), gToken.modulus.size());
        break;
    case CKA_PUBLIC_EXPONENT:
        if (!certificate) return Put(attribute, gToken.exponent.data(), gToken.exponent.size());
        break;
    case CKA_ALWAYS_AUTHENTICATE:
        if (!certificate) return Put(attribute, &no, sizeof no);
        break;
    default: break;
    }
    attribute.ulValueLen = static_cast<CK_ULONG>(-1);
    return CKR_ATTRIBUTE_TYPE_INVALID;
}

bool Matches(CK_OBJECT_HANDLE object, const CK_ATTRIBUTE* search, CK_ULONG count)
{
    for (CK_ULONG i = 0; i < count; ++i) {
        std::vector<unsigned char> value(search[i].ulValueLen);
        CK_ATTRIBUTE own{search[i].type, value.data(), search[i].ulValueLen};
        if (AttributeOf(object, own) != CKR_OK || own.ulValueLen != search[i].ulValueLen ||
            (search[i].ulValueLen && std::memcmp(value.data(), search[i].pValue, search[i].ulValueLen) != 0))
            return false;
    }
    return true;
}

std::string Pin()
{
    const char* pin = std::getenv("NEROLIN_TEST_TOKEN_PIN");
    return pin && *pin ? pin : "123456";
}

#define LOCKED                                \
    std::lock_guard<std::mutex> lock(gMutex); \
    if (!gInitialized) return CKR_CRYPTOKI_NOT_INITIALIZED

CK_RV Initialize(void*)
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (gInitialized) return CKR_CRYPTOKI_ALREADY_INITIALIZED;
    if (!gToken.key && !LoadToken()) return CKR_DEVICE_ERROR;
    gInitialized = true;
    return CKR_OK;
}

CK_RV Finalize(void*)
{
    LOCKED;
    gInitialized = false;
    gLoggedIn = false;
    gSessions.clear();
    return CKR_OK;
}

CK_RV GetInfo(CK_INFO* info)
{
    LOCKED;
    std::memset(info, 0, sizeof *info);
    info->cryptokiVersion = {2, 40};
    Pad(info->manufacturerID, sizeof info->manufacturerID, "Nerolin tests");
    Pad(info->libraryDescription, sizeof info->libraryDescription, "Nerolin test token");
    return CKR_OK;
}

CK_RV GetSlotList(CK_BBOOL, CK_SLOT_ID* list, CK_ULONG* count)
{
    LOCKED;
    if (!list) {
        *count = 1;
        return CKR_OK;
    }
    if (*count < 1) {
        *count = 1;
        return CKR_BUFFER_TOO_SMALL;
    }
    list[0] = kSlot;
    *count = 1;
    return CKR_OK;
}

CK_RV GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO* info)
{
    LOCKED;
    if (slot != kSlot) return CKR_SLOT_ID_INVALID;
    std::memset(info, 0, sizeof *info);
    Pad(info->slotDescription, sizeof info->slotDescription, "Nerolin Test Reader");
    Pad(info->manufacturerID, sizeof info->manufacturerID, "Nerolin tests");
    info->flags = CKF_TOKEN_PRESENT | CKF_REMOVABLE_DEVICE | CKF_HW_SLOT;
    return CKR_OK;
}

CK_RV GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info)
{
    LOCKED;
    if (slot != kSlot) return CKR_SLOT_ID_INVALID;
    std::memset(info, 0, sizeof *info);
    Pad(info->label, sizeof info->label, "Nerolin Test Token");
    Pad(info->manufacturerID, sizeof info->manufacturerID, "Nerolin tests");
    Pad(info->model, sizeof info->model, "Test Token");
    Pad(info->serialNumber, sizeof info->serialNumber, "0001");
    info->flags = CKF_LOGIN_REQUIRED | CKF_USER_PIN_INITIALIZED | CKF_TOKEN_INITIALIZED;
    info->ulMaxPinLen = 32;
    info->ulMinPinLen = 4;
    return CKR_OK;
}

CK_RV OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, void*, CK_NOTIFY, CK_SESSION_HANDLE* handle)
{
    LOCKED;
    if (slot != kSlot) return CKR_SLOT_ID_INVALID;
    if (!(flags & CKF_SERIAL_SESSION)) return CKR_SESSION_PARALLEL_NOT_SUPPORTED;
    gSessions.push_back({gNextSession++, {}, false});
    *handle = gSessions.back().handle;
    return CKR_OK;
}

CK_RV CloseSession(CK_SESSION_HANDLE handle)
{
    LOCKED;
    const auto before = gSessions.size();
    std::erase_if(gSessions, [handle](const Session& session) { return session.handle == handle; });
    if (gSessions.size() == before) return CKR_SESSION_HANDLE_INVALID;
    // The login belongs to the token's sessions: it ends with the last one.
    if (gSessions.empty()) gLoggedIn = false;
    return CKR_OK;
}

CK_RV GetSessionInfo(CK_SESSION_HANDLE handle, CK_SESSION_INFO* info)
{
    LOCKED;
    if (!FindSession(handle)) return CKR_SESSION_HANDLE_INVALID;
    std::memset(info, 0, sizeof *info);
    info->slotID = kSlot;
    info->state = gLoggedIn ? CKS_RO_USER_FUNCTIONS : CKS_RO_PUBLIC_SESSION;
    info->flags = CKF_SERIAL_SESSION;
    return CKR_OK;
}

CK_RV Login(CK_SESSION_HANDLE handle, CK_USER_TYPE type, CK_UTF8CHAR* pin, CK_ULONG length)
{
    LOCKED;
    if (!FindSession(handle)) return CKR_SESSION_HANDLE_INVALID;
    if (type != CKU_USER) return CKR_USER_TYPE_INVALID;
    if (gLoggedIn) return CKR_USER_ALREADY_LOGGED_IN;
    if (!pin || std::string(reinterpret_cast<const char*>(pin), length) != Pin()) return CKR_PIN_INCORRECT;
    gLoggedIn = true;
    return CKR_OK;
}

CK_RV Logout(CK_SESSION_HANDLE handle)
{
    LOCKED;
    if (!FindSession(handle)) return CKR_SESSION_HANDLE_INVALID;
    if (!gLoggedIn) return CKR_USER_NOT_LOGGED_IN;
    gLoggedIn = false;
    return CKR_OK;
}

CK_RV GetAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, CK_ATTRIBUTE* attributes, CK_ULONG count)
{
    LOCKED;
    if (!FindSession(handle)) return CKR_SESSION_HANDLE_INVALID;
    if (object != kCertificate && !(object == kPrivateKey && gLoggedIn)) return CKR_OBJECT_HANDLE_INVALID;
    CK_RV result = CKR_OK;
    for (CK_ULONG i = 0; i < count; ++i) {
        const CK_RV one = AttributeOf(object, attributes[i]);
        if (one != CKR_OK) result = one;
    }
    return result;
}

CK_RV FindObjectsInit(CK_SESSION_HANDLE handle, CK_ATTRIBUTE* search, CK_ULONG count)
{
    LOCKED;
    Session* session = FindSession(handle);
    if (!session) return CKR_SESSION_HANDLE_INVALID;
    session->found.clear();
    for (CK_OBJECT_HANDLE object : {kCertificate, kPrivateKey}) {
        if (object == kPrivateKey && !gLoggedIn) continue;
        if (Matches(object, search, count)) session->found.push_back(object);
    }
    return CKR_OK;
}

CK_RV FindObjects(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE* objects, CK_ULONG maximum, CK_ULONG* count)
{
    LOCKED;
    Session* session = FindSession(handle);
    if (!session) return CKR_SESSION_HANDLE_INVALID;
    *count = 0;
    while (*count < maximum && !session->found.empty()) {
        objects[(*count)++] = session->found.front();
        session->found.erase(session->found.begin());
    }
    return CKR_OK;
}

CK_RV FindObjectsFinal(CK_SESSION_HANDLE handle)
{
    LOCKED;
    Session* session = FindSession(handle);
    if (!session) return CKR_SESSION_HANDLE_INVALID;
    session->found.clear();
    return CKR_OK;
}

CK_RV SignInit(CK_SESSION_HANDLE handle, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key)
{
    LOCKED;
    Session* session = FindSession(handle);
    if (!session) return CKR_SESSION_HANDLE_INVALID;
    if (!gLoggedIn) return CKR_USER_NOT_LOGGED_IN;
    if (key != kPrivateKey) return CKR_KEY_HANDLE_INVALID;
    if (!mechanism || mechanism->mechanism != CKM_RSA_PKCS) return CKR_MECHANISM_INVALID;
    session->signing = true;
    return CKR_OK;
}

// RSA PKCS#1 v1.5 over the bytes as given: the caller built the DigestInfo.
CK_RV Sign(CK_SESSION_HANDLE handle, CK_BYTE* data, CK_ULONG length, CK_BYTE* signature, CK_ULONG* signatureLength)
{
    LOCKED;
    Session* session = FindSession(handle);
    if (!session) return CKR_SESSION_HANDLE_INVALID;
    if (!session->signing) return CKR_OPERATION_NOT_INITIALIZED;
    const std::size_t size = static_cast<std::size_t>(EVP_PKEY_get_size(gToken.key));
    if (!signature) {
        *signatureLength = static_cast<CK_ULONG>(size);
        return CKR_OK;
    }
    if (*signatureLength < size) {
        *signatureLength = static_cast<CK_ULONG>(size);
        return CKR_BUFFER_TOO_SMALL;
    }
    session->signing = false;
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new(gToken.key, nullptr);
    std::size_t written = size;
    const bool ok = context && EVP_PKEY_sign_init(context) > 0 &&
                    EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PADDING) > 0 &&
                    EVP_PKEY_sign(context, signature, &written, data, length) > 0;
    EVP_PKEY_CTX_free(context);
    if (!ok) return CKR_FUNCTION_FAILED;
    *signatureLength = static_cast<CK_ULONG>(written);
    return CKR_OK;
}

CK_FUNCTION_LIST MakeList()
{
    CK_FUNCTION_LIST list{};
    list.version = {2, 40};
    list.C_Initialize = Initialize;
    list.C_Finalize = Finalize;
    list.C_GetInfo = GetInfo;
    list.C_GetSlotList = GetSlotList;
    list.C_GetSlotInfo = GetSlotInfo;
    list.C_GetTokenInfo = GetTokenInfo;
    list.C_OpenSession = OpenSession;
    list.C_CloseSession = CloseSession;
    list.C_GetSessionInfo = GetSessionInfo;
    list.C_Login = Login;
    list.C_Logout = Logout;
    list.C_GetAttributeValue = GetAttributeValue;
    list.C_FindObjectsInit = FindObjectsInit;
    list.C_FindObjects = FindObjects;
    list.C_FindObjectsFinal = FindObjectsFinal;
    list.C_SignInit = SignInit;
    list.C_Sign = Sign;
    return list;
}

CK_FUNCTION_LIST gFunctions = MakeList();

}  // namespace

extern "C" CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list)
{
    if (!list) return CKR_ARGUMENTS_BAD;
    *list = &gFunctions;
    return CKR_OK;
}
