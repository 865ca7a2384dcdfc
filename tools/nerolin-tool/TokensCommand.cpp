// nerolin-tool tokens: the tokens of a PKCS#11 module, or the card readers,
// as Nerolin sees them. A support person's second question, after "certs".
//
//   nerolin-tool tokens --module NAME|PATH [--token LABEL [--pin-stdin]]
//   nerolin-tool tokens
//
// With a module (a file name for the library search, or a path): every slot
// (or only the one whose token is labelled LABEL) with its token's label,
// manufacturer, model and flags, and each certificate with its CKA_ID and whether a private key
// answers to it, by that identifier or by the identifier of a public key
// equal to the certificate's. Private keys are often visible only after a
// login: --pin-stdin reads the user PIN from the first line of standard
// input and logs in to the token named by --token only, as each wrong PIN
// costs a card one of its few tries.
// Without a module: the PC/SC readers with the ATR of the card in each and
// the name Nerolin's card database gives it.
// Exit 0 after listing, 1 when the module cannot be used or PC/SC cannot be
// reached, 2 for wrong arguments.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "common/CertificateText.h"
#include "common/OpenSslOwners.h"
#include "common/SecretString.h"
#include "providers/CardDatabase.h"
#include "providers/Pkcs11KeySearch.h"
#include "providers/Pkcs11Module.h"
#include "providers/Pkcs11ObjectSearch.h"
#include "providers/Pkcs11Session.h"
#include "providers/SmartCardName.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

constexpr int kListed = 0;
constexpr int kUnusable = 1;
constexpr int kError = 2;

// What the tool reads of one certificate object: the largest certificates
// fit many times.
constexpr CK_ULONG kMaximumAttributeLength = 1u << 20;

int Usage()
{
    std::fprintf(stderr, "usage: nerolin-tool tokens [--module NAME|PATH [--token LABEL [--pin-stdin]]]\n");
    return kError;
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

std::string TokenFlags(CK_FLAGS flags)
{
    static const std::pair<CK_FLAGS, const char*> kNames[] = {
        {CKF_TOKEN_INITIALIZED, "TOKEN_INITIALIZED"},
        {CKF_LOGIN_REQUIRED, "LOGIN_REQUIRED"},
        {CKF_USER_PIN_INITIALIZED, "USER_PIN_INITIALIZED"},
        {CKF_PROTECTED_AUTHENTICATION_PATH, "PROTECTED_AUTHENTICATION_PATH"},
        {CKF_WRITE_PROTECTED, "WRITE_PROTECTED"},
        {CKF_USER_PIN_COUNT_LOW, "USER_PIN_COUNT_LOW"},
        {CKF_USER_PIN_FINAL_TRY, "USER_PIN_FINAL_TRY"},
        {CKF_USER_PIN_LOCKED, "USER_PIN_LOCKED"},
        {CKF_USER_PIN_TO_BE_CHANGED, "USER_PIN_TO_BE_CHANGED"},
    };
    std::string text;
    for (const auto& [flag, name] : kNames)
        if (flags & flag) text += (text.empty() ? "" : " ") + std::string(name);
    return text.empty() ? "none" : text;
}

// The certificate objects, all found before any is looked at: the key
// searches below need the session's one find operation.
std::vector<CK_OBJECT_HANDLE> Certificates(const Pkcs11Session& session)
{
    std::vector<CK_OBJECT_HANDLE> objects;
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE search{CKA_CLASS, &certificateClass, sizeof certificateClass};
    Pkcs11ObjectSearch found(session, {&search, 1}, kUnloggedSearch);
    while (const std::optional<CK_OBJECT_HANDLE> object = found.Next()) objects.push_back(*object);
    return objects;
}

void ListToken(const Pkcs11Module& module, CK_SLOT_ID slot, const CK_TOKEN_INFO& token, const SecretString* pin)
{
    Pkcs11Session session(module, slot);
    const CK_RV opened = session.Open(kUnlogged);
    if (opened != CKR_OK) {
        std::printf("  %s\n", ReturnValueText("C_OpenSession", opened).c_str());
        return;
    }
    bool loggedIn = false;
    if (pin && (token.flags & CKF_LOGIN_REQUIRED)) {
        const CK_RV login = session.Login(CKU_USER, pin->view(), kUnlogged);
        loggedIn = login == CKR_OK;
        if (!loggedIn) std::printf("  %s\n", ReturnValueText("C_Login(CKU_USER)", login).c_str());
    }
    const bool keysHidden = (token.flags & CKF_LOGIN_REQUIRED) && !loggedIn;

    const std::vector<CK_OBJECT_HANDLE> objects = Certificates(session);
    std::printf("  Certificates: %zu\n", objects.size());
    for (const CK_OBJECT_HANDLE object : objects) {
        const AttributeRead value =
            session.ReadAttributes(object, {CKA_VALUE}, kMaximumAttributeLength, kUnloggedTwoCalls);
        const AttributeRead id = session.ReadAttributes(object, {CKA_ID}, kMaximumAttributeLength, kUnloggedTwoCalls);
        const unsigned char* cursor = value.ok() ? value.values[0].data() : nullptr;
        X509Ptr certificate(value.ok() ? d2i_X509(nullptr, &cursor, static_cast<long>(value.values[0].size()))
                                       : nullptr);
        std::printf("  - Subject:     %s\n",
                    certificate ? CertNameString(certificate.get(), CertNameType::Rdn, 0).c_str() : "(unreadable)");
        if (certificate) std::printf("    SHA-1:       %s\n", CertThumbprint(certificate.get()).c_str());
        std::printf("    CKA_ID:      %s\n", id.ok() ? HexEncode(id.values[0]).c_str() : "(unreadable)");

        std::string answer;
        if (id.ok() && FindPrivateKey(session, id.values[0])) {
            answer = "by identifier";
        } else {
            const auto other = FindKeyIdByPublicKey(session, certificate.get());
            if (other && FindPrivateKey(session, *other))
                answer = "by public key (CKA_ID " + HexEncode(*other) + ")";
            else if (keysHidden)
                answer = "not visible before a login (use --pin-stdin)";
            else
                answer = "none";
            if (other && answer.rfind("by ", 0) != 0)
                answer += "; a public key with CKA_ID " + HexEncode(*other) + " matches";
        }
        std::printf("    Private key: %s\n", answer.c_str());
    }
}

int ListModule(const std::string& moduleName, const std::string& tokenLabel, const SecretString* pin)
{
    Pkcs11Module module;
    module.Load(moduleName);
    if (!module.initialized()) {
        if (!module.loadError().empty()) std::fprintf(stderr, "nerolin-tool: %s\n", module.loadError().c_str());
        std::fprintf(stderr, "nerolin-tool: %s cannot be used as a PKCS#11 module (see the event log)\n",
                     moduleName.c_str());
        return kUnusable;
    }
    std::printf("Module: %s\n", module.path().empty() ? moduleName.c_str() : module.path().c_str());
    std::vector<CK_SLOT_ID> slots;
    const CK_RV listed = module.SlotList(false, {kUnlogged, kUnlogged, TooLong::AsOutOfMemory}, slots);
    if (listed != CKR_OK) {
        std::fprintf(stderr, "nerolin-tool: %s\n", ReturnValueText("C_GetSlotList", listed).c_str());
        return kUnusable;
    }
    std::printf("Slots: %zu\n", slots.size());
    bool tokenFound = false;
    for (const CK_SLOT_ID slot : slots) {
        CK_SLOT_INFO info{};
        module.SlotInfo(slot, kUnlogged, info);
        CK_TOKEN_INFO token{};
        const bool present = info.flags & CKF_TOKEN_PRESENT;
        const CK_RV read = present ? module.TokenInfo(slot, kUnlogged, token) : CKR_TOKEN_NOT_PRESENT;
        if (!tokenLabel.empty() && (read != CKR_OK || Trimmed(FixedText(token.label)) != tokenLabel)) continue;
        tokenFound = true;
        std::printf("\nSlot %lu: %s\n", static_cast<unsigned long>(slot),
                    Trimmed(FixedText(info.slotDescription)).c_str());
        if (!present) {
            std::printf("  No token\n");
            continue;
        }
        if (read != CKR_OK) {
            std::printf("  %s\n", ReturnValueText("C_GetTokenInfo", read).c_str());
            continue;
        }
        std::printf("  Token:       \"%s\"\n", Trimmed(FixedText(token.label)).c_str());
        // The facts an alternative-provider rule can name (docs/alternative-providers.md).
        std::printf("  Maker:       manufacturer=%s; model=%s\n", Trimmed(FixedText(token.manufacturerID)).c_str(),
                    Trimmed(FixedText(token.model)).c_str());
        std::printf("  Flags:       %s\n", TokenFlags(token.flags).c_str());
        ListToken(module, slot, token, pin);
    }
    if (!tokenLabel.empty() && !tokenFound) {
        std::fprintf(stderr, "nerolin-tool: no token labelled \"%s\" in %s\n", tokenLabel.c_str(), moduleName.c_str());
        return kUnusable;
    }
    return kListed;
}

int ListReaders()
{
    const auto readers = nerolin::ListReaders();
    if (!readers) {
        std::fprintf(stderr, "nerolin-tool: the PC/SC service cannot be reached (is pcscd running?)\n");
        return kUnusable;
    }
    std::printf("Readers: %zu\n", readers->size());
    const std::vector<CardType> database = CardDatabase();
    for (const std::string& reader : *readers) {
        const Bytes atr = ReadCardAtr(reader);
        const std::string name = CardNamesForAtr(database, atr);
        std::printf("\nReader: %s\n", reader.c_str());
        std::printf("  ATR:  %s\n", atr.empty() ? "(no card)" : HexEncode(atr).c_str());
        if (!atr.empty()) std::printf("  Card: %s\n", name.empty() ? "(not in the card database)" : name.c_str());
    }
    return kListed;
}

int RunTokens(const Arguments& arguments)
{
    std::string module;
    std::string tokenLabel;
    bool pinFromInput = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--module" && i + 1 < arguments.size() && !arguments[i + 1].empty())
            module = arguments[++i];
        else if (arguments[i] == "--token" && i + 1 < arguments.size() && !arguments[i + 1].empty())
            tokenLabel = arguments[++i];
        else if (arguments[i] == "--pin-stdin")
            pinFromInput = true;
        else
            return Usage();
    }
    // One PIN for every token would spend a try of each card it is wrong for.
    if (pinFromInput && tokenLabel.empty()) {
        std::fprintf(stderr, "nerolin-tool: --pin-stdin needs --token LABEL, the one token to log in to\n");
        return Usage();
    }
    if (module.empty()) return tokenLabel.empty() ? ListReaders() : Usage();

    SecretString pin;
    if (pinFromInput) {
        std::string line;
        std::getline(std::cin, line);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pin.Assign(line);
        OPENSSL_cleanse(line.data(), line.size());
    }
    return ListModule(module, tokenLabel, pinFromInput ? &pin : nullptr);
}

const Registration kTokens{"tokens", "tokens [--module NAME|PATH [--token LABEL [--pin-stdin]]]", RunTokens};

}  // namespace
}  // namespace nerolin::tool
