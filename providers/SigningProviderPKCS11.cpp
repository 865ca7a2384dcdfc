#include "providers/SigningProviderPKCS11.h"

#include <type_traits>
#include <utility>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "providers/CertificateHolder.h"
#include "providers/HashAlgorithm.h"
#include "providers/Pkcs11Certificates.h"
#include "providers/Pkcs11KeySearch.h"
#include "providers/Pkcs11Module.h"
#include "providers/Pkcs11Session.h"

namespace nerolin {
namespace {

// No signature of a key that a token holds comes near this.
constexpr CK_ULONG kMaximumSignatureLength = 1u << 16;
// A label is a name to show; the bound keeps a broken module from choosing
// what is allocated.
constexpr CK_ULONG kMaximumLabelLength = 4096;

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
    keyType_ = CertificateKeyType(certificate.get());
    slot_ = slot;
    keyId_ = id;
    return SigningResult::Success;
}

SigningResult SigningProviderPKCS11::FindCertificate(const std::string& certificate)
{
    if (!module_->initialized()) return SigningResult::Failed;

    std::vector<TokenCertificate> certificates;
    const SigningResult collected = CollectCertificates(*module_, false, CertificateFilter{}, certificates);
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
    if (!module_->initialized()) return SigningResult::Failed;

    // A token that cannot be read still leaves the others' certificates to
    // choose from. The tokens are read anew when the user asks, after
    // inserting a card.
    std::vector<TokenCertificate> certificates;
    std::optional<std::size_t> chosen;
    do {
        certificates.clear();
        CollectCertificates(*module_, checkValidity, filter, certificates);
        std::vector<TokenCertificate> unfiltered;
        if (certificates.empty()) CollectCertificates(*module_, false, CertificateFilter{}, unfiltered);
        std::vector<Bytes> offered;
        offered.reserve(certificates.size());
        for (const TokenCertificate& entry : certificates) offered.push_back(entry.der);
        if (offered.empty()) ReportNothingToChoose(checkValidity, filter);
        chosen = Prompts().ChooseCertificate(offered, !certificates.empty() || !unfiltered.empty());
    } while (chosen == kListCertificatesAgain);
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

std::optional<unsigned long> SigningProviderPKCS11::SigningKey(const Pkcs11Session& session)
{
    if (auto key = FindPrivateKey(session, keyId_)) {
        WriteEventEntry(EntryType::Information, "private key found with id: " + HexEncode(keyId_));
        return key;
    }
    WriteEventEntry(EntryType::Warning, "private key not found with id: " + HexEncode(keyId_));

    X509Ptr certificate = ParseDer(Base64Decode(certificateText_, Base64Format::Base64Header));
    std::optional<Bytes> id = FindKeyIdByPublicKey(session, certificate.get());
    if (!id || id->empty()) {
        WriteEventEntry(EntryType::Error, "public key not found for certificate");
        return std::nullopt;
    }
    keyId_ = std::move(*id);
    if (auto key = FindPrivateKey(session, keyId_)) {
        WriteEventEntry(EntryType::Information, "private key found with id: " + HexEncode(keyId_));
        return key;
    }
    WriteEventEntry(EntryType::Error, "private key not found with id: " + HexEncode(keyId_));
    return std::nullopt;
}

bool SigningProviderPKCS11::AskContextPin(const Pkcs11Session& session, unsigned long key)
{
    // Read (and its failures written) even when the PIN is kept already.
    const AttributeRead read =
        session.ReadAttributes(key, {CKA_LABEL}, kMaximumLabelLength,
                               {{"PRIVATE KEY - C_GetAttributeValue1"}, {"PRIVATE KEY - C_GetAttributeValue2"}});
    const std::string label = read.ok() ? std::string(read.values[0].begin(), read.values[0].end()) : std::string();
    if (contextPin_) return true;
    PinRequest request;
    request.kind = PinRequest::Kind::SigningKey;
    request.target = label;
    request.holder = CertificateHolder(Base64Decode(certificateText_, Base64Format::Base64Header));
    contextPin_ = Prompts().AskPin(request);
    return contextPin_.has_value();
}

SigningResult SigningProviderPKCS11::SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash,
                                              std::int32_t length, std::string& signedHash)
{
    WriteEventEntry(EntryType::Information, "SignHash started with PKCS#11 signing provider");

    CK_MECHANISM mechanism{0, nullptr, 0};
    std::span<const std::uint8_t> prefix;
    switch (keyType_) {
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
    if (!module_->initialized() || length < 0 || (length > 0 && !hash)) return SigningResult::Failed;

    CK_TOKEN_INFO token{};
    if (module_->TokenInfo(slot_, kUnlogged, token) != CKR_OK) return SigningResult::Failed;

    Pkcs11Session session(*module_, slot_);
    if (session.Open({"C_OpenSession", EntryType::Warning}) != CKR_OK) return SigningResult::Failed;

    // Tokens with a protected authentication path (a PIN pad) are asked the
    // same way: the PIN dialog is the only way this program logs in.
    // NSS may hold the very same module in this process and have logged the
    // token in already; the login belongs to the whole application, so this
    // session can use it without asking the user again.
    if ((token.flags & CKF_LOGIN_REQUIRED) && !session.UserLoggedIn()) {
        if (!userPin_) {
            PinRequest request;
            request.target = FixedText(token.label);
            request.holder = CertificateHolder(Base64Decode(certificateText_, Base64Format::Base64Header));
            request.fewTriesLeft = (token.flags & CKF_USER_PIN_COUNT_LOW) != 0;
            request.finalTry = (token.flags & CKF_USER_PIN_FINAL_TRY) != 0;
            userPin_ = Prompts().AskPin(request);
            if (!userPin_) return SigningResult::Canceled;
        }
        const CK_RV login = session.Login(CKU_USER, userPin_->view(), {"C_Login(CKU_USER)"});
        if (login != CKR_OK) return LoginResult(login);
    }

    const std::optional<unsigned long> key = SigningKey(session);
    if (!key) return SigningResult::Failed;

    // A failing read counts as false.
    CK_BBOOL alwaysAuthenticate = CK_FALSE;
    session.ReadValue(*key, CKA_ALWAYS_AUTHENTICATE, kUnlogged, alwaysAuthenticate);
    if (alwaysAuthenticate && !AskContextPin(session, *key)) return SigningResult::Canceled;

    if (session.SignInit(mechanism, *key, {"C_SignInit"}) != CKR_OK) return SigningResult::Failed;
    if (alwaysAuthenticate) {
        const CK_RV login = session.Login(CKU_CONTEXT_SPECIFIC, contextPin_->view(), {"C_Login(CKU_CONTEXT_SPECIFIC)"});
        if (login != CKR_OK) return LoginResult(login);
    }

    Bytes data(prefix.begin(), prefix.end());
    data.insert(data.end(), hash, hash + length);

    Bytes signature;
    if (session.Sign(data, kMaximumSignatureLength, {{"C_Sign1"}, {"C_Sign2"}, TooLong::AsOutOfMemory}, signature) !=
        CKR_OK)
        return SigningResult::Failed;
    signedHash = Base64Encode(signature, Base64Format::Base64);
    return SigningResult::Success;
}

}  // namespace nerolin
