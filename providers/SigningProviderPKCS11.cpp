#include "providers/SigningProviderPKCS11.h"

#include <type_traits>
#include <utility>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "providers/HashAlgorithm.h"
#include "providers/Pkcs11Certificates.h"
#include "providers/Pkcs11KeySearch.h"
#include "providers/Pkcs11Module.h"
#include "providers/Pkcs11Session.h"

namespace nerolin {
namespace {

X509Ptr ParseDer(const Bytes& der)
{
    const unsigned char* cursor = der.data();
    return X509Ptr(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
}

KeyType CertificateKeyType(X509* certificate)
{
    ASN1_OBJECT* algorithm = nullptr;
    X509_PUBKEY* key = X509_get_X509_PUBKEY(certificate);
    if (!key || !X509_PUBKEY_get0_param(&algorithm, nullptr, nullptr, nullptr, key) || !algorithm)
        return KeyType::Unknown;
    char oid[80];
    const int length = OBJ_obj2txt(oid, sizeof oid, algorithm, 1);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof oid) return KeyType::Unknown;
    return KeyTypeFromAlgorithmOid(oid);
}

SigningResult LoginResult(CK_RV value)
{
    if (value == CKR_PIN_INCORRECT) return SigningResult::PinIncorrect;
    if (value == CKR_PIN_LOCKED) return SigningResult::PinLocked;
    return SigningResult::Failed;
}

}  // namespace

static_assert(std::is_same_v<CK_SLOT_ID, unsigned long> && std::is_same_v<CK_OBJECT_HANDLE, unsigned long>);

SigningProviderPKCS11::SigningProviderPKCS11(std::string module)
    : moduleName_(std::move(module)),
      module_(std::make_unique<Pkcs11Module>())
{
}

SigningProviderPKCS11::~SigningProviderPKCS11() = default;

void SigningProviderPKCS11::Initialize() { module_->Load(moduleName_); }

void SigningProviderPKCS11::Finalize()
{
    keyId_.clear();
    module_->Unload();
}

SigningResult SigningProviderPKCS11::Remember(const Bytes& der, unsigned long slot, const Bytes& id)
{
    X509Ptr certificate = ParseDer(der);
    if (!certificate) return SigningResult::Failed;
    keyType = CertificateKeyType(certificate.get());
    slot_ = slot;
    keyId_ = id;
    return SigningResult::Success;
}

SigningResult SigningProviderPKCS11::FindCertificate(const std::string& certificate)
{
    CK_FUNCTION_LIST* functions = module_->functions();
    if (!functions) return SigningResult::Failed;

    std::vector<TokenCertificate> certificates;
    const SigningResult collected = CollectCertificates(functions, false, CertificateFilter{}, certificates);
    if (collected != SigningResult::Success) return collected;

    const Bytes der = Base64Decode(certificate, Base64Format::Base64Header);
    if (der.empty()) return SigningResult::Failed;
    X509Ptr wanted = ParseDer(der);
    if (!wanted) return SigningResult::Failed;
    WriteEventEntry(EntryType::Information,
                    "Finding certificate in PKCS#11 certificate store: " + CertThumbprint(wanted.get()));

    const TokenCertificate* found = FindExisting(certificates, der);
    if (!found) {
        WriteEventEntry(EntryType::Error, "Certificate not found in PKCS#11 certificate store");
        return SigningResult::Failed;
    }
    WriteEventEntry(EntryType::Information, "Certificate found in PKCS#11 certificate store");
    const SigningResult remembered = Remember(found->der, found->slot, found->id);
    if (remembered == SigningResult::Success) certificateText_ = certificate;
    return remembered;
}

SigningResult SigningProviderPKCS11::SelectCertificate(bool checkValidity, const CertificateFilter& filter,
                                                       std::string& certificate)
{
    CK_FUNCTION_LIST* functions = module_->functions();
    if (!functions) return SigningResult::Failed;

    // A token that cannot be read still leaves the others' certificates to
    // choose from.
    std::vector<TokenCertificate> certificates;
    CollectCertificates(functions, checkValidity, filter, certificates);

    std::vector<Bytes> offered;
    offered.reserve(certificates.size());
    for (const TokenCertificate& entry : certificates) offered.push_back(entry.der);
    const std::optional<std::size_t> chosen = Prompts().ChooseCertificate(offered);
    if (!chosen || *chosen >= certificates.size()) return SigningResult::Canceled;

    const TokenCertificate& entry = certificates[*chosen];
    certificate = Base64Encode(entry.der, Base64Format::Base64Header);
    const SigningResult remembered = Remember(entry.der, entry.slot, entry.id);
    if (remembered == SigningResult::Success) certificateText_ = certificate;
    return remembered;
}

void SigningProviderPKCS11::BeginSigning(std::uint32_t) {}

void SigningProviderPKCS11::EndSigning()
{
    contextPin_.reset();  // SecretString wipes its bytes
    userPin_.reset();
}

SigningResult SigningProviderPKCS11::SignHashes(const std::string&, std::vector<HashEntry>&)
{
    WriteEventEntry(EntryType::Information, "SignHashes started with PKCS#11 signing provider");
    return SigningResult::Unsupported;
}

std::optional<unsigned long> SigningProviderPKCS11::SigningKey(Pkcs11Session& session)
{
    CK_FUNCTION_LIST* functions = session.functions();
    if (auto key = FindPrivateKey(functions, session.handle(), keyId_)) {
        WriteEventEntry(EntryType::Information, "private key found with id: " + HexEncode(keyId_));
        return key;
    }
    WriteEventEntry(EntryType::Warning, "private key not found with id: " + HexEncode(keyId_));

    X509Ptr certificate = ParseDer(Base64Decode(certificateText_, Base64Format::Base64Header));
    std::optional<Bytes> id = FindKeyIdByPublicKey(functions, session.handle(), certificate.get());
    if (!id || id->empty()) {
        WriteEventEntry(EntryType::Error, "public key not found for certificate");
        return std::nullopt;
    }
    keyId_ = std::move(*id);
    if (auto key = FindPrivateKey(functions, session.handle(), keyId_)) {
        WriteEventEntry(EntryType::Information, "private key found with id: " + HexEncode(keyId_));
        return key;
    }
    WriteEventEntry(EntryType::Error, "private key not found with id: " + HexEncode(keyId_));
    return std::nullopt;
}

bool SigningProviderPKCS11::AskContextPin(Pkcs11Session& session, unsigned long key)
{
    std::string label;
    CK_ATTRIBUTE attribute{CKA_LABEL, nullptr, 0};
    CK_FUNCTION_LIST* functions = session.functions();
    const CK_RV sized = functions->C_GetAttributeValue(session.handle(), key, &attribute, 1);
    if (sized != CKR_OK || attribute.ulValueLen > 4096) {
        WriteReturnValueEntry(EntryType::Error, "PRIVATE KEY - C_GetAttributeValue1",
                              sized != CKR_OK ? sized : CKR_ATTRIBUTE_VALUE_INVALID);
    } else {
        label.resize(attribute.ulValueLen);
        attribute.pValue = label.data();
        const CK_RV read = functions->C_GetAttributeValue(session.handle(), key, &attribute, 1);
        if (read != CKR_OK) {
            WriteReturnValueEntry(EntryType::Error, "PRIVATE KEY - C_GetAttributeValue2", read);
            label.clear();
        } else {
            label.resize(attribute.ulValueLen);
        }
    }
    if (contextPin_) return true;
    contextPin_ = Prompts().AskPin(label);
    return contextPin_.has_value();
}

SigningResult SigningProviderPKCS11::SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash,
                                              std::int32_t length, std::string& signedHash)
{
    WriteEventEntry(EntryType::Information, "SignHash started with PKCS#11 signing provider");

    CK_MECHANISM mechanism{0, nullptr, 0};
    std::span<const std::uint8_t> prefix;
    switch (keyType) {
    case KeyType::RSA:
        mechanism.mechanism = CKM_RSA_PKCS;
        if (!hashAlgorithm.empty()) {
            const HashAlgorithm* algorithm = FindHashAlgorithm(hashAlgorithm);
            if (!algorithm) return SigningResult::Failed;
            prefix = algorithm->digestInfoPrefix;
        }
        break;
    case KeyType::DSA: mechanism.mechanism = CKM_DSA; break;
    case KeyType::EC: mechanism.mechanism = CKM_ECDSA; break;
    default: return SigningResult::Failed;
    }
    CK_FUNCTION_LIST* functions = module_->functions();
    if (!functions || length < 0 || (length > 0 && !hash)) return SigningResult::Failed;

    CK_TOKEN_INFO token{};
    if (functions->C_GetTokenInfo(slot_, &token) != CKR_OK) return SigningResult::Failed;

    Pkcs11Session session(functions, slot_);
    const CK_RV opened = session.Open();
    if (opened != CKR_OK) {
        WriteReturnValueEntry(EntryType::Warning, "C_OpenSession", opened);
        return SigningResult::Failed;
    }

    // Tokens with a protected authentication path (a PIN pad) are asked the
    // same way: the PIN dialog is the only way this program logs in.
    // NSS may hold the very same module in this process and have logged the
    // token in already; the login belongs to the whole application, so this
    // session can use it without asking the user again.
    CK_SESSION_INFO state{};
    const bool loggedInElsewhere = functions->C_GetSessionInfo(session.handle(), &state) == CKR_OK &&
                                   (state.state == CKS_RO_USER_FUNCTIONS || state.state == CKS_RW_USER_FUNCTIONS);
    if ((token.flags & CKF_LOGIN_REQUIRED) && !loggedInElsewhere) {
        if (!userPin_) {
            userPin_ = Prompts().AskPin(FixedText(token.label));
            if (!userPin_) return SigningResult::Canceled;
        }
        const CK_RV login = session.Login(CKU_USER, userPin_->view());
        if (login != CKR_OK && login != CKR_USER_ALREADY_LOGGED_IN) {
            WriteReturnValueEntry(EntryType::Error, "C_Login(CKU_USER)", login);
            return LoginResult(login);
        }
    }

    const std::optional<unsigned long> key = SigningKey(session);
    if (!key) return SigningResult::Failed;

    bool alwaysAuthenticate = false;
    if (!ReadBoolAttribute(functions, session.handle(), *key, CKA_ALWAYS_AUTHENTICATE, alwaysAuthenticate))
        alwaysAuthenticate = false;
    if (alwaysAuthenticate && !AskContextPin(session, *key)) return SigningResult::Canceled;

    const CK_RV initialized = functions->C_SignInit(session.handle(), &mechanism, *key);
    if (initialized != CKR_OK) {
        WriteReturnValueEntry(EntryType::Error, "C_SignInit", initialized);
        return SigningResult::Failed;
    }
    if (alwaysAuthenticate) {
        const CK_RV login = session.Login(CKU_CONTEXT_SPECIFIC, contextPin_->view());
        if (login != CKR_OK) {
            WriteReturnValueEntry(EntryType::Error, "C_Login(CKU_CONTEXT_SPECIFIC)", login);
            return LoginResult(login);
        }
    }

    Bytes data(prefix.begin(), prefix.end());
    data.insert(data.end(), hash, hash + length);

    CK_ULONG size = 0;
    const CK_RV sized = functions->C_Sign(session.handle(), data.data(), data.size(), nullptr, &size);
    if (sized != CKR_OK) {
        WriteReturnValueEntry(EntryType::Error, "C_Sign1", sized);
        return SigningResult::Failed;
    }
    if (size > (1u << 16)) {
        ReportSystemError("malloc", 8, false, "Not enough memory");
        return SigningResult::Failed;
    }
    Bytes signature(size);
    const CK_RV signedResult = functions->C_Sign(session.handle(), data.data(), data.size(), signature.data(), &size);
    if (signedResult != CKR_OK) {
        WriteReturnValueEntry(EntryType::Error, "C_Sign2", signedResult);
        return SigningResult::Failed;
    }
    signature.resize(size);
    signedHash = Base64Encode(signature, Base64Format::Base64);
    return SigningResult::Success;
}

}  // namespace nerolin
