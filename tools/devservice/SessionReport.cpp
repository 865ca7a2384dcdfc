#include "tools/devservice/SessionReport.h"

#include "tools/devservice/Json.h"

namespace nerolin::devservice {

std::string SessionReportJson(const DevSession& session)
{
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("sessionId");
    WriteString(w, session.sessionId);
    w.Key("mode");
    WriteString(w, session.mode);
    w.Key("state");
    WriteString(w, session.state);
    w.Key("cancelled");
    w.Bool(session.cancelled);
    w.Key("conclusion");
    WriteString(w, session.conclusion);
    w.Key("hashAlgorithm");
    WriteString(w, session.hashAlgorithm);
    w.Key("pendingPolls");
    w.Int(session.pendingPolls);
    w.Key("resultMessage");
    w.StartObject();
    w.Key("code");
    WriteString(w, session.lastResultCode);
    w.Key("message");
    WriteString(w, session.lastResultMessage);
    w.EndObject();
    w.Key("certificate");
    if (session.postedCertificate.empty())
        w.Null();
    else
        WriteString(w, session.postedCertificate);
    w.Key("documents");
    w.StartArray();
    for (const auto& document : session.documents) {
        w.StartObject();
        w.Key("documentId");
        WriteString(w, document.documentId);
        w.Key("name");
        WriteString(w, document.name);
        w.Key("unsignedHash");
        WriteString(w, document.unsignedHash);
        w.Key("signedHash");
        WriteString(w, document.signedHash);
        w.Key("signatureValid");
        if (document.signatureValid)
            w.Bool(*document.signatureValid);
        else
            w.Null();
        w.Key("detail");
        WriteString(w, document.signatureDetail);
        w.EndObject();
    }
    w.EndArray();
    w.Key("requests");
    w.StartArray();
    for (const auto& request : session.record.Requests()) {
        w.StartObject();
        w.Key("exchange");
        WriteString(w, request.exchange);
        w.Key("origin");
        WriteString(w, request.origin);
        w.Key("contentType");
        WriteString(w, request.contentType);
        w.Key("status");
        w.Int(request.status);
        w.Key("fault");
        WriteString(w, request.fault);
        w.Key("body");
        WriteString(w, request.body);
        w.EndObject();
    }
    w.EndArray();
    w.Key("requestsDropped");
    w.Uint64(session.record.Dropped());
    w.Key("violations");
    w.StartArray();
    for (const auto& violation : session.record.Violations()) WriteString(w, violation);
    w.EndArray();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace nerolin::devservice
