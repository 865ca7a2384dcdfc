#include "tools/devservice/ServiceProtocol.h"

#include <chrono>
#include <optional>

#include "tools/devservice/FaultScript.h"
#include "tools/devservice/Json.h"

namespace nerolin::devservice {
namespace {

std::string ExchangeFor(const std::string& endpoint, const rapidjson::Document* request)
{
    if (endpoint == "certificate") return "certificate";
    if (endpoint == "unsigned-hashes") return "unsignedHashes";
    if (endpoint == "signed-hashes") return "signedHashes";
    if (endpoint == "state") return "state";
    const rapidjson::Value* cancel = request ? FindMember(*request, "cancel") : nullptr;
    return cancel && cancel->IsBool() && cancel->GetBool() ? "cancel" : "config";
}

// Answers of faults that replace the exchange altogether.
std::optional<Answer> ReplacingAnswer(DevSession& session, const Fault& fault)
{
    if (fault.kind == "status") {
        rapidjson::StringBuffer buffer;
        JsonWriter w(buffer);
        w.StartObject();
        w.Key("sessionId");
        WriteString(w, session.sessionId);
        w.EndObject();
        return Answer{fault.status, kJsonContentType, std::string(buffer.GetString(), buffer.GetSize())};
    }
    if (fault.kind == "badJson") return Answer{200, kJsonContentType, BadJsonBody(session.sessionId)};
    if (fault.kind == "oversized") return Answer{200, kJsonContentType, OversizedBody(session.sessionId, fault.bytes)};
    if (fault.kind == "deepJson") return Answer{200, kJsonContentType, DeepJsonBody(fault.bytes)};
    if (fault.kind == "serviceError") {
        if (fault.endSession) {
            session.state = kError;
            session.conclusion = "ended by a scripted service error";
        }
        return ResultMessage(session, 420, fault.code, fault.message);
    }
    return std::nullopt;
}

// The same document with its first-level "sessionId" changed.
std::string WithOtherSessionId(const std::string& body, const std::string& sessionId)
{
    rapidjson::Document document;
    if (!ParseJson(body, document) || !document.IsObject()) return body;
    for (auto it = document.MemberBegin(); it != document.MemberEnd(); ++it) {
        if (std::string(it->name.GetString()) == "sessionId") {
            std::string other = sessionId + "-other";
            it->value.SetString(other.c_str(), static_cast<rapidjson::SizeType>(other.size()), document.GetAllocator());
            break;
        }
    }
    return WriteJson(document);
}

Answer UnknownSession(const std::string& sessionId)
{
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("sessionId");
    WriteString(w, sessionId);
    w.Key("code");
    w.String("ERROR");
    w.Key("message");
    w.String("Unknown session");
    w.EndObject();
    return {420, kJsonContentType, std::string(buffer.GetString(), buffer.GetSize())};
}

}  // namespace

Answer ServiceProtocol::Handle(const std::string& sessionId, const std::string& endpoint, const std::string& body,
                               const std::string& contentType, const std::string& origin)
{
    rapidjson::Document request;
    bool parsed = ParseJson(body, request);
    const rapidjson::Document* requestPointer = parsed ? &request : nullptr;
    std::string exchange = ExchangeFor(endpoint, requestPointer);
    if (!parsed) {
        // Not JSON at all (or nested too deep to read safely): a plain 400,
        // recorded against the session when there is one.
        store_.With(sessionId, [&](DevSession& session) {
            session.record.AddViolation(exchange + ": body is not JSON");
            RecordedRequest record;
            record.exchange = exchange;
            record.origin = origin;
            record.contentType = contentType;
            record.body = body.substr(0, RequestRecord::kBodyLimit);
            record.status = 400;
            session.record.Add(std::move(record));
        });
        return Answer{400, kJsonContentType, R"({"error":"the body is not JSON"})"};
    }

    std::optional<Fault> fault;
    std::optional<Answer> answer;
    std::size_t recordIndex = 0;
    bool known = store_.With(sessionId, [&](DevSession& session) {
        RecordedRequest record;
        record.exchange = exchange;
        record.origin = origin;
        record.contentType = contentType;
        record.body = body.substr(0, RequestRecord::kBodyLimit);
        if (origin == "agent" && !contentType.empty())
            session.record.AddViolation(exchange + ": request carries a Content-Type header");
        fault = session.faults.Take(exchange);
        if (fault) {
            record.fault = fault->kind;
            answer = ReplacingAnswer(session, *fault);
            if (answer) record.status = answer->status;
        }
        recordIndex = session.record.Add(std::move(record));
    });
    if (!known) return UnknownSession(sessionId);
    if (answer) return *answer;

    if (fault && fault->kind == "stall" && !store_.Stall(sessionId, std::chrono::seconds(fault->seconds)))
        return Answer{503, kJsonContentType, "{}"};

    Answer result;
    store_.With(sessionId, [&](DevSession& session) {
        result = AnswerExchange(session, urls_, exchange, requestPointer, body);
        if (fault && fault->kind == "contentType") result.contentType = fault->contentType;
        if (fault && fault->kind == "otherSessionId") result.body = WithOtherSessionId(result.body, sessionId);
        session.record.SetStatus(recordIndex, result.status);
    });
    return result;
}

}  // namespace nerolin::devservice
