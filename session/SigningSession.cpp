#include "session/SigningSession.h"

#include <algorithm>
#include <ctime>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "eventlog/EventLog.h"
#include "platform/Settings.h"
#include "session/HttpExchange.h"
#include "session/QuotedText.h"
#include "session/ServiceUrl.h"
#include "session/TrustAnswers.h"
#include "session/Whitelist.h"

namespace nerolin {

namespace {

// The result of a whitelist that was read: Ok when accepted, BadResponse
// (after the error entry with the body) when rejected.
SessionError Accepted(bool accepted, const std::string& body)
{
    if (!accepted) {
        ReportJsonError(body);
        return SessionError::BadResponse;
    }
    return SessionError::Ok;
}

// An answer of the service read by reader: Ok when accepted; BadResponse when
// rejected, after the error entry with the body and one that names the rule
// the answer broke (the first entry says only that it was refused).
template <typename Reader>
SessionError Read(Reader reader, const std::string& body, SigningSession& session)
{
    std::string why;
    if (reader(body, session, &why)) {
        return SessionError::Ok;
    }
    ReportJsonError(body);
    if (!why.empty()) {
        WriteEventEntry(EntryType::Error, "Answer refused: " + why);
    }
    return SessionError::BadResponse;
}

SessionError RefuseStatus(int status)
{
    ReportInvalidStatus(status);
    return SessionError::InvalidStatusCode;
}

// 420 carries the service's result message; accepted, it ends as ServiceError.
SessionError ServiceRefused(const std::string& body, SigningSession& session)
{
    const SessionError read = Read(ReadResultMessage, body, session);
    if (read != SessionError::Ok) {
        return read;
    }
    WriteEventEntry(EntryType::Warning, "Service refused the request with HTTP status 420: code \"" +
                                            QuotedText(session.serverMessage.code) + "\", message \"" +
                                            QuotedText(session.serverMessage.message) + "\"");
    return SessionError::ServiceError;
}

constexpr int kStatusOk = 200;
constexpr int kStatusAccepted = 202;
constexpr int kStatusServiceError = 420;

}  // namespace

bool SigningSession::ParseLaunchRequest(const std::string& json)
{
    LaunchRequest request = Request();
    const bool parsed = nerolin::ParseLaunchRequest(json, request);
    // Values read before a failing step stay, as the request reader leaves them.
    sessionUrl = request.sessionUrl;
    sessionId = request.sessionId;
    mode = request.mode;
    if (parsed) {
        hasLaunchRequest = true;
    }
    return parsed;
}

LaunchRequest SigningSession::Request() const
{
    LaunchRequest request;
    request.sessionUrl = sessionUrl;
    request.sessionId = sessionId;
    request.mode = mode;
    return request;
}

SessionError SigningSession::MakeQRCode(RgbImage& image) const { return nerolin::MakeQRCode(Request(), image); }

SessionError SigningSession::Post(const std::string& url, const std::string& request, int& status, std::string& body,
                                  const std::atomic<bool>* abort)
{
    return HttpPostJson(url, whitelist, request, status, body, abort);
}

SessionError SigningSession::DownloadWhitelist()
{
    ServiceUrl service;
    if (!ParseServiceUrl(sessionUrl, service)) {
        WriteEventEntry(EntryType::Error, "Failed to parse URL: " + QuotedText(sessionUrl));
        return SessionError::BadUrl;
    }
    std::string nocache;
    if (ReadUserSetting(setting::kUseNoCacheForWhitelist, 1) != 0) {
        nocache = NoCacheValue(std::time(nullptr));
    }
    const std::string url = WhitelistRequestUrl(WhitelistBaseUrl(), service.host, nocache);
    int status = 0;
    std::string body;
    if (const SessionError error = HttpGetJson(url, status, body); error != SessionError::Ok) {
        return error;
    }
    if (status != kStatusOk) {
        return RefuseStatus(status);
    }
    return Accepted(ReadWhitelist(body, whitelist), body);
}

SessionError SigningSession::FetchConfig()
{
    int status = 0;
    std::string body;
    if (const SessionError error = Post(sessionUrl, WritePollMessage(sessionId, false), status, body);
        error != SessionError::Ok) {
        return error;
    }
    switch (status) {
    case kStatusOk: return Read(ReadSessionConfig, body, *this);
    case kStatusServiceError: return ServiceRefused(body, *this);
    default: return RefuseStatus(status);
    }
}

SessionError SigningSession::SendCertificate()
{
    int status = 0;
    std::string body;
    if (const SessionError error = Post(certificateUrl, WriteCertificateMessage(sessionId, certificate), status, body);
        error != SessionError::Ok) {
        return error;
    }
    switch (status) {
    case kStatusOk:
        return Read(mode == SessionMode::SelectCertificateMode ? ReadResultMessage : ReadUnsignedHashUrl, body, *this);
    case kStatusServiceError: return ServiceRefused(body, *this);
    default: return RefuseStatus(status);
    }
}

SessionError SigningSession::FetchUnsignedHashes()
{
    int status = 0;
    std::string body;
    if (const SessionError error = Post(unsignedHashUrl, WritePollMessage(sessionId, false), status, body);
        error != SessionError::Ok) {
        return error;
    }
    switch (status) {
    case kStatusOk: return Read(ReadUnsignedHashes, body, *this);
    case kStatusAccepted: return SessionError::Ok;  // not ready yet; the body is not read
    case kStatusServiceError: return ServiceRefused(body, *this);
    default: return RefuseStatus(status);
    }
}

bool SigningSession::HasAllUnsignedHashes() const
{
    return !documents.empty() && std::all_of(documents.begin(), documents.end(), [](const DocumentInfo& document) {
        return !document.unsignedHash.empty();
    });
}

SessionError SigningSession::SendSignedHashes()
{
    int status = 0;
    std::string body;
    if (const SessionError error = Post(signedHashUrl, WriteSignedHashesMessage(sessionId, documents), status, body);
        error != SessionError::Ok) {
        return error;
    }
    switch (status) {
    case kStatusOk: return Read(ReadResultMessage, body, *this);
    case kStatusServiceError: return ServiceRefused(body, *this);
    default: return RefuseStatus(status);
    }
}

void SigningSession::SendCancel()
{
    int status = 0;
    std::string body;
    SessionError outcome = Post(sessionUrl, WritePollMessage(sessionId, true), status, body);
    if (outcome == SessionError::Ok) {
        switch (status) {
        case kStatusOk: outcome = Read(ReadResultMessage, body, *this); break;
        case kStatusServiceError: outcome = ServiceRefused(body, *this); break;
        default: outcome = RefuseStatus(status); break;
        }
    }
    ServiceUrl service;
    const bool refusedByUser =
        outcome == SessionError::ConnectionError && ParseServiceUrl(sessionUrl, service) && RefusedHost(service.host);
    if (outcome != SessionError::Ok && !refusedByUser) {
        Prompts().ShowMessage(LoadString(strings::kCancelRequestFailed), MessageIcon::Exclamation);
    }
}

SessionError SigningSession::FetchState(const std::atomic<bool>* abort)
{
    int status = 0;
    std::string body;
    if (const SessionError error = Post(stateUrl, WritePollMessage(sessionId, false), status, body, abort);
        error != SessionError::Ok) {
        return error;
    }
    switch (status) {
    case kStatusOk: return Read(ReadStateMessage, body, *this);
    case kStatusServiceError: return ServiceRefused(body, *this);
    default: return RefuseStatus(status);
    }
}

}  // namespace nerolin
