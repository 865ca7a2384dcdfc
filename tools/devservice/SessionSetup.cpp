#include "tools/devservice/SessionSetup.h"

#include <cctype>

#include <openssl/rand.h>

#include "common/Text.h"
#include "session/UrlEscape.h"
#include "tools/devservice/Json.h"

namespace nerolin::devservice {
namespace {

std::string RandomSessionId()
{
    unsigned char bytes[16];
    RAND_bytes(bytes, sizeof bytes);
    std::string hex = HexEncode(bytes, sizeof bytes);
    for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hex;
}

bool SafeIdentifier(const std::string& text)
{
    if (text.empty() || text.size() > 128) return false;
    for (unsigned char c : text)
        if (!std::isalnum(c) && c != '-' && c != '_' && c != '.') return false;
    return true;
}

bool ReadDocuments(const rapidjson::Value& request, DevSession& session, const SessionUrls& urls, std::string& error)
{
    const rapidjson::Value* list = FindMember(request, "documents");
    if (!list) {
        for (const char* name : {"contract.pdf", "annex.pdf"}) {
            SessionDocument document;
            document.documentId = "doc-" + std::to_string(session.documents.size() + 1);
            document.name = name;
            document.downloadUrl = urls.Document(session.sessionId, document.documentId);
            document.content = std::string("The ") + name + " of session " + session.sessionId;
            session.documents.push_back(std::move(document));
        }
        return true;
    }
    if (!list->IsArray()) {
        error = "\"documents\" must be an array";
        return false;
    }
    for (const auto& element : list->GetArray()) {
        if (!element.IsObject()) {
            error = "each document must be an object";
            return false;
        }
        std::string number = std::to_string(session.documents.size() + 1);
        SessionDocument document;
        document.documentId = "doc-" + number;
        document.name = "document-" + number + ".pdf";
        document.content = "Document " + number + " of session " + session.sessionId;
        if (!ReadOptionalText(element, "documentId", document.documentId, error)) return false;
        document.downloadUrl = urls.Document(session.sessionId, document.documentId);
        if (!ReadOptionalText(element, "name", document.name, error) ||
            !ReadOptionalText(element, "downloadUrl", document.downloadUrl, error) ||
            !ReadOptionalText(element, "content", document.content, error) ||
            !ReadOptionalText(element, "unsignedHash", document.unsignedHash, error))
            return false;
        session.documents.push_back(std::move(document));
    }
    return true;
}

}  // namespace

std::optional<DevSession> SessionFromRequest(const rapidjson::Value& request, const DevPki& pki,
                                             const SessionUrls& urls, std::string& error)
{
    if (!request.IsObject()) {
        error = "the request must be a JSON object";
        return std::nullopt;
    }
    DevSession session;
    session.mode = "SELECT_CERTIFICATE_AND_SIGN";
    session.sessionId = RandomSessionId();
    session.spName = "Nerolin Development Service";
    session.message = "Please sign the documents of this session.";
    session.hashAlgorithm = kSha256Oid;
    std::string certificate = "rsa";
    if (!ReadOptionalText(request, "mode", session.mode, error) ||
        !ReadOptionalText(request, "sessionId", session.sessionId, error) ||
        !ReadOptionalText(request, "version", session.version, error) ||
        !ReadOptionalText(request, "SPName", session.spName, error) ||
        !ReadOptionalText(request, "message", session.message, error) ||
        !ReadOptionalText(request, "certificate", certificate, error) ||
        !ReadOptionalText(request, "hashAlgorithm", session.hashAlgorithm, error) ||
        !ReadOptionalText(request, "finalCode", session.finalCode, error))
        return std::nullopt;
    if (session.mode != "SELECT_CERTIFICATE" && session.mode != "SIGN" &&
        session.mode != "SELECT_CERTIFICATE_AND_SIGN" && session.mode != "TEST") {
        error = "unknown mode \"" + session.mode + "\"";
        return std::nullopt;
    }
    if (!SafeIdentifier(session.sessionId)) {
        error = "\"sessionId\" must be 1 to 128 letters, digits, \"-\", \"_\" or \".\"";
        return std::nullopt;
    }
    if (const rapidjson::Value* polls = FindMember(request, "pendingPolls")) {
        if (!polls->IsInt()) {
            error = "\"pendingPolls\" must be an integer";
            return std::nullopt;
        }
        session.pendingPolls = polls->GetInt();
    }
    if (const rapidjson::Value* state = FindMember(request, "stateUrl"); state && state->IsBool())
        session.withStateUrl = state->GetBool();
    if (const rapidjson::Value* filters = FindMember(request, "filters")) session.filtersJson = WriteJson(*filters);
    if (const rapidjson::Value* faults = FindMember(request, "faults")) {
        auto parsed = FaultScript::Parse(*faults, error);
        if (!parsed) return std::nullopt;
        session.faults.Append(*parsed);
    }
    if (!ReadDocuments(request, session, urls, error)) return std::nullopt;

    if (session.mode == "SIGN") {
        X509Ptr x509 = certificate.rfind("-----BEGIN", 0) == 0 ? ParseCertificateText(certificate)
                                                               : pki.SigningCertificate(certificate);
        if (!x509) {
            error = "unknown certificate \"" + certificate.substr(0, 64) + "\"";
            return std::nullopt;
        }
        if (certificate.rfind("-----BEGIN", 0) != 0) session.certificateName = certificate;
        session.certificatePem = CertificateText(x509.get());
        MakeUnsignedHashes(session, EVP_PKEY_get_base_id(X509_get0_pubkey(x509.get())));
    }
    return session;
}

std::string LaunchLinkFor(const SessionUrls& urls, const DevSession& session)
{
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("sessionUrl");
    WriteString(w, urls.Session(session.sessionId));
    w.Key("sessionId");
    WriteString(w, session.sessionId);
    w.Key("mode");
    WriteString(w, session.mode);
    w.EndObject();
    std::string json(buffer.GetString(), buffer.GetSize());
    // "%" is escaped as well, so that the reader's unescaping of every %XX
    // gives back exactly this JSON.
    return "yendo:" + WideToUtf8(UrlEscape(Utf8ToWide(json), kUrlEscapePercent));
}

}  // namespace nerolin::devservice
