#include "tools/devservice/SessionExchanges.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "tools/devservice/DevPki.h"
#include "tools/devservice/Json.h"
#include "tools/devservice/SignatureCheck.h"

namespace nerolin::devservice {
namespace {

bool Ended(const DevSession& session) { return session.state == kFinished || session.state == kError; }

void End(DevSession& session, const char* state, std::string conclusion)
{
    session.state = state;
    session.conclusion = std::move(conclusion);
}

// The request's top-level keys, in order, must be exactly these, and the text
// must be what a compact writer makes of it.
void CheckShape(DevSession& session, const std::string& exchange, const rapidjson::Document& request,
                const std::string& body, std::initializer_list<const char*> keys)
{
    std::vector<std::string> actual;
    for (auto it = request.MemberBegin(); it != request.MemberEnd(); ++it)
        actual.emplace_back(it->name.GetString(), it->name.GetStringLength());
    if (!std::equal(actual.begin(), actual.end(), keys.begin(), keys.end()))
        session.record.AddViolation(exchange + ": members are not exactly the expected ones in order");
    if (WriteJson(request) != body) session.record.AddViolation(exchange + ": body is not compact JSON");
}

Answer BadRequest(DevSession& session, const std::string& exchange, const std::string& why)
{
    session.record.AddViolation(exchange + ": " + why);
    return ResultMessage(session, 420, "ERROR", "Bad request: " + why);
}

Answer ConfigAnswer(DevSession& session, const SessionUrls& urls)
{
    if (Ended(session)) return ResultMessage(session, 420, "ERROR", "The session has ended");
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    const std::string& id = session.sessionId;
    w.StartObject();
    w.Key("sessionId");
    WriteString(w, id);
    w.Key("version");
    WriteString(w, session.version);
    w.Key("SPName");
    WriteString(w, session.spName);
    w.Key("message");
    WriteString(w, session.message);
    if (session.mode != "TEST") {
        if (session.mode != "SELECT_CERTIFICATE") {
            w.Key("documents");
            w.StartArray();
            for (const auto& document : session.documents) {
                w.StartObject();
                w.Key("documentId");
                WriteString(w, document.documentId);
                if (session.mode == "SIGN") {
                    w.Key("unsignedHash");
                    WriteString(w, document.unsignedHash);
                }
                w.Key("name");
                WriteString(w, document.name);
                w.Key("downloadUrl");
                WriteString(w, document.downloadUrl);
                w.EndObject();
            }
            w.EndArray();
        }
        if (session.mode == "SIGN") {
            w.Key("hashAlgorithm");
            WriteString(w, session.hashAlgorithm);
            w.Key("certificate");
            WriteString(w, session.certificatePem);
            w.Key("signedHashUrl");
            WriteString(w, urls.SignedHashes(id));
        } else {
            if (!session.filtersJson.empty()) {
                rapidjson::Document filters;
                ParseJson(session.filtersJson, filters);
                w.Key("filters");
                filters.Accept(w);
            }
            w.Key("certificateUrl");
            WriteString(w, urls.Certificate(id));
        }
        if (session.withStateUrl) {
            w.Key("stateUrl");
            WriteString(w, urls.State(id));
        }
    }
    w.EndObject();

    if (session.state == kWaitingForConfig) {
        if (session.mode == "TEST")
            End(session, kFinished, "configuration delivered to a connection test");
        else if (session.mode == "SIGN")
            session.state = kWaitingForSignedHashes;
        else
            session.state = kWaitingForCertificate;
    }
    return {200, kJsonContentType, std::string(buffer.GetString(), buffer.GetSize())};
}

Answer CancelAnswer(DevSession& session)
{
    if (Ended(session)) return ResultMessage(session, 200, "OK", "The session had already ended");
    session.cancelled = true;
    End(session, kError, "cancelled by the signing application");
    return ResultMessage(session, 200, "OK", "The session has been cancelled");
}

Answer CertificateAnswer(DevSession& session, const SessionUrls& urls, const rapidjson::Document& request)
{
    bool selecting = session.mode == "SELECT_CERTIFICATE" || session.mode == "SELECT_CERTIFICATE_AND_SIGN";
    if (!selecting || session.state != kWaitingForCertificate)
        return ResultMessage(session, 420, "ERROR", "No certificate is expected now");
    auto text = StringMember(request, "certificate");
    if (!text) return BadRequest(session, "certificate", "\"certificate\" is not a string");
    session.postedCertificate = *text;
    X509Ptr certificate = ParseCertificateText(*text);
    if (!certificate) {
        End(session, kError, "the posted certificate could not be read");
        return ResultMessage(session, 420, "ERROR", "The certificate cannot be read");
    }
    if (session.mode == "SELECT_CERTIFICATE") {
        End(session, kFinished, "certificate received");
        return ResultMessage(session, 200, session.finalCode, "Certificate received");
    }
    MakeUnsignedHashes(session, EVP_PKEY_get_base_id(X509_get0_pubkey(certificate.get())));
    session.state = kWaitingForUnsignedHashes;
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("sessionId");
    WriteString(w, session.sessionId);
    w.Key("unsignedHashUrl");
    WriteString(w, urls.UnsignedHashes(session.sessionId));
    w.EndObject();
    return {200, kJsonContentType, std::string(buffer.GetString(), buffer.GetSize())};
}

Answer UnsignedHashesAnswer(DevSession& session, const SessionUrls& urls)
{
    if (session.mode != "SELECT_CERTIFICATE_AND_SIGN" ||
        (session.state != kWaitingForUnsignedHashes && session.state != kWaitingForSignedHashes))
        return ResultMessage(session, 420, "ERROR", "No hashes are to be fetched now");
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("sessionId");
    WriteString(w, session.sessionId);
    if (!session.hashesReady) {
        if (session.pendingPolls != 0) {
            if (session.pendingPolls > 0) --session.pendingPolls;
            w.EndObject();
            return {202, kJsonContentType, std::string(buffer.GetString(), buffer.GetSize())};
        }
        session.hashesReady = true;
        session.state = kWaitingForSignedHashes;
    }
    w.Key("hashAlgorithm");
    WriteString(w, session.hashAlgorithm);
    w.Key("unsignedHashes");
    w.StartArray();
    for (const auto& document : session.documents) {
        w.StartObject();
        w.Key("documentId");
        WriteString(w, document.documentId);
        w.Key("unsignedHash");
        WriteString(w, document.unsignedHash);
        w.EndObject();
    }
    w.EndArray();
    w.Key("signedHashUrl");
    WriteString(w, urls.SignedHashes(session.sessionId));
    w.EndObject();
    return {200, kJsonContentType, std::string(buffer.GetString(), buffer.GetSize())};
}

Answer SignedHashesAnswer(DevSession& session, const rapidjson::Document& request)
{
    bool signing = session.mode == "SIGN" || session.mode == "SELECT_CERTIFICATE_AND_SIGN";
    if (!signing || session.state != kWaitingForSignedHashes)
        return ResultMessage(session, 420, "ERROR", "No signatures are expected now");
    const rapidjson::Value* list = FindMember(request, "signedHashes");
    if (!list || !list->IsArray()) return BadRequest(session, "signedHashes", "\"signedHashes\" is not an array");

    X509Ptr certificate =
        ParseCertificateText(session.mode == "SIGN" ? session.certificatePem : session.postedCertificate);
    EVP_PKEY* key = certificate ? X509_get0_pubkey(certificate.get()) : nullptr;

    std::vector<const rapidjson::Value*> posted;
    for (const auto& element : list->GetArray()) posted.push_back(&element);
    const SessionDocument* firstBad = nullptr;
    std::size_t index = 0;
    for (auto& document : session.documents) {
        const rapidjson::Value* entry = index < posted.size() ? posted[index] : nullptr;
        ++index;
        auto id = entry ? StringMember(*entry, "documentId") : std::nullopt;
        auto signature = entry ? StringMember(*entry, "signedHash") : std::nullopt;
        if (!id || *id != document.documentId || !signature) {
            document.signatureValid = false;
            document.signatureDetail = "no signature entry for this document in its place";
        } else {
            document.signedHash = *signature;
            auto hash = FromBase64(document.unsignedHash);
            auto decoded = FromBase64(*signature);
            SignatureVerdict verdict;
            if (!decoded)
                verdict = {false, "signature is not Base64"};
            else
                verdict = VerifyHashSignature(key, session.hashAlgorithm, hash.value_or(Bytes{}), *decoded);
            document.signatureValid = verdict.valid;
            document.signatureDetail = verdict.detail;
        }
        if (!*document.signatureValid && !firstBad) firstBad = &document;
    }
    if (posted.size() != session.documents.size())
        session.record.AddViolation("signedHashes: " + std::to_string(posted.size()) + " entries for " +
                                    std::to_string(session.documents.size()) + " documents");
    if (firstBad) {
        std::string text = "Invalid signature for document \"" + firstBad->name + "\"";
        End(session, kError, text + ": " + firstBad->signatureDetail);
        return ResultMessage(session, 420, "ERROR", text);
    }
    End(session, kFinished, "all signatures valid");
    return ResultMessage(session, 200, session.finalCode,
                         std::to_string(session.documents.size()) + " signature(s) verified");
}

Answer StateAnswer(DevSession& session)
{
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("sessionId");
    WriteString(w, session.sessionId);
    w.Key("code");
    WriteString(w, session.state);
    w.EndObject();
    return {200, kJsonContentType, std::string(buffer.GetString(), buffer.GetSize())};
}

}  // namespace

Answer ResultMessage(DevSession& session, int status, const std::string& code, const std::string& message)
{
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("sessionId");
    WriteString(w, session.sessionId);
    w.Key("code");
    WriteString(w, code);
    w.Key("message");
    WriteString(w, message);
    w.EndObject();
    session.lastResultCode = code;
    session.lastResultMessage = message;
    return {status, kJsonContentType, std::string(buffer.GetString(), buffer.GetSize())};
}

void MakeUnsignedHashes(DevSession& session, int keyType)
{
    for (auto& document : session.documents) {
        if (!document.unsignedHash.empty()) continue;
        Bytes hash;
        if (session.hashAlgorithm.empty()) {
            // With no algorithm the signer signs the bytes as they are: an
            // RSA signer needs the DigestInfo inside them.
            hash = keyType == EVP_PKEY_RSA ? Sha256DigestInfo(document.content)
                                           : *DigestBytes("2.16.840.1.101.3.4.2.1", document.content);
        } else {
            hash = DigestBytes(session.hashAlgorithm, document.content)
                       .value_or(*DigestBytes("2.16.840.1.101.3.4.2.1", document.content));
        }
        document.unsignedHash = Base64(hash);
    }
}

Answer AnswerExchange(DevSession& session, const SessionUrls& urls, const std::string& exchange,
                      const rapidjson::Document* request, const std::string& body)
{
    if (!request || !request->IsObject()) return BadRequest(session, exchange, "body is not a JSON object");
    auto id = StringMember(*request, "sessionId");
    if (!id || *id != session.sessionId) return BadRequest(session, exchange, "\"sessionId\" does not match");

    bool poll = exchange == "config" || exchange == "cancel" || exchange == "unsignedHashes" || exchange == "state";
    if (poll) {
        const rapidjson::Value* cancel = FindMember(*request, "cancel");
        if (!cancel || !cancel->IsBool()) return BadRequest(session, exchange, "\"cancel\" is not a boolean");
        if (cancel->GetBool() && exchange != "cancel")
            return BadRequest(session, exchange, "\"cancel\" is true on a poll");
        CheckShape(session, exchange, *request, body, {"sessionId", "cancel"});
    } else if (exchange == "certificate") {
        CheckShape(session, exchange, *request, body, {"sessionId", "certificate"});
    } else if (exchange == "signedHashes") {
        CheckShape(session, exchange, *request, body, {"sessionId", "signedHashes"});
    }

    if (exchange == "config") return ConfigAnswer(session, urls);
    if (exchange == "cancel") return CancelAnswer(session);
    if (exchange == "certificate") return CertificateAnswer(session, urls, *request);
    if (exchange == "unsignedHashes") return UnsignedHashesAnswer(session, urls);
    if (exchange == "signedHashes") return SignedHashesAnswer(session, *request);
    return StateAnswer(session);
}

}  // namespace nerolin::devservice
