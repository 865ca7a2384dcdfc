// The admin routes of HttpRoutes.h: how tests and the demo drive the service.

#include "tools/devservice/HttpRoutes.h"

#include "tools/devservice/Json.h"
#include "tools/devservice/MobileClient.h"
#include "tools/devservice/SessionReport.h"
#include "tools/devservice/SessionSetup.h"

namespace nerolin::devservice {
namespace {

void Reply(httplib::Response& response, int status, const std::string& json)
{
    response.status = status;
    response.set_content(json, kJsonContentType);
}

void Fail(httplib::Response& response, int status, const std::string& error)
{
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("error");
    WriteString(w, error);
    w.EndObject();
    Reply(response, status, std::string(buffer.GetString(), buffer.GetSize()));
}

// The request body as JSON; an empty body counts as {}.
bool Body(const httplib::Request& request, httplib::Response& response, rapidjson::Document& document)
{
    if (ParseJson(request.body.empty() ? std::string_view("{}") : std::string_view(request.body), document))
        return true;
    Fail(response, 400, "the body is not JSON");
    return false;
}

const char* kOk = "{\"ok\":true}";

// Admin bodies are JSON whatever type they declare. curl -d declares a form,
// and httplib answers 413 to a form-encoded body over 8 KiB before any
// handler runs; a body read through a content reader is bounded only by the
// service's own limit (kMaxRequestSize, 413 past it).
void PostAnyType(httplib::Server& server, const std::string& pattern, httplib::Server::Handler handler)
{
    server.Post(pattern, [handler = std::move(handler)](const httplib::Request& request, httplib::Response& response,
                                                        const httplib::ContentReader& read) {
        httplib::Request whole = request;
        if (!read([&](const char* data, std::size_t length) {
                whole.body.append(data, length);
                return true;
            })) {
            if (response.status == -1) response.status = 400;
            return;
        }
        handler(whole, response);
    });
}

}  // namespace

void MountAdminRoutes(httplib::Server& server, ServiceProtocol& protocol, const DevPki& pki, WhitelistHost& whitelist,
                      AppcastFeed& appcast)
{
    PostAnyType(server, "/admin/sessions",
                AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                    rapidjson::Document body;
                    if (!Body(request, response, body)) return;
                    std::string error;
                    auto session = SessionFromRequest(body, pki, protocol.Urls(), error);
                    if (!session) return Fail(response, 400, error);
                    const SessionUrls& urls = protocol.Urls();
                    rapidjson::StringBuffer buffer;
                    JsonWriter w(buffer);
                    w.StartObject();
                    w.Key("sessionId");
                    WriteString(w, session->sessionId);
                    w.Key("sessionUrl");
                    WriteString(w, urls.Session(session->sessionId));
                    w.Key("stateUrl");
                    WriteString(w, urls.State(session->sessionId));
                    w.Key("link");
                    WriteString(w, LaunchLinkFor(urls, *session));
                    w.EndObject();
                    if (!protocol.Store().Add(std::move(*session)))
                        return Fail(response, 409, "the session exists already");
                    Reply(response, 201, std::string(buffer.GetString(), buffer.GetSize()));
                }));

    server.Get(R"(/admin/sessions/([^/]+))",
               AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                   std::string report;
                   if (!protocol.Store().With(request.matches[1].str(),
                                              [&](DevSession& session) { report = SessionReportJson(session); }))
                       return Fail(response, 404, "unknown session");
                   Reply(response, 200, report);
               }));

    PostAnyType(server, R"(/admin/sessions/([^/]+)/faults)",
                AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                    rapidjson::Document body;
                    if (!Body(request, response, body)) return;
                    std::string error;
                    auto faults = FaultScript::Parse(body, error);
                    if (!faults) return Fail(response, 400, error);
                    if (!protocol.Store().With(request.matches[1].str(),
                                               [&](DevSession& session) { session.faults.Append(*faults); }))
                        return Fail(response, 404, "unknown session");
                    Reply(response, 200, kOk);
                }));

    PostAnyType(
        server, R"(/admin/sessions/([^/]+)/release-hashes)",
        AfterReading([&](const httplib::Request& request, httplib::Response& response) {
            if (!protocol.Store().With(request.matches[1].str(), [](DevSession& session) { session.pendingPolls = 0; }))
                return Fail(response, 404, "unknown session");
            Reply(response, 200, kOk);
        }));

    PostAnyType(server, R"(/admin/sessions/([^/]+)/release-stalls)",
                AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                    if (!protocol.Store().ReleaseStalls(request.matches[1].str()))
                        return Fail(response, 404, "unknown session");
                    Reply(response, 200, kOk);
                }));

    PostAnyType(server, R"(/admin/sessions/([^/]+)/mobile)",
                AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                    rapidjson::Document body;
                    if (!Body(request, response, body)) return;
                    MobileOptions options;
                    if (auto certificate = StringMember(body, "certificate")) options.certificate = *certificate;
                    if (auto until = StringMember(body, "until")) options.until = *until;
                    if (const rapidjson::Value* tamper = FindMember(body, "tamper"); tamper && tamper->IsBool())
                        options.tamper = tamper->GetBool();
                    Reply(response, 200, RunMobileApplication(protocol, pki, request.matches[1].str(), options));
                }));

    PostAnyType(server, "/admin/whitelist",
                AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                    rapidjson::Document body;
                    if (!Body(request, response, body)) return;
                    std::string error;
                    if (!whitelist.Configure(body, error)) return Fail(response, 400, error);
                    Reply(response, 200, kOk);
                }));
    server.Get("/admin/whitelist/requests", AfterReading([&](const httplib::Request&, httplib::Response& response) {
                   Reply(response, 200, whitelist.RequestsJson());
               }));

    PostAnyType(server, "/admin/appcast",
                AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                    rapidjson::Document body;
                    if (!Body(request, response, body)) return;
                    std::string error;
                    if (!appcast.Configure(body, error)) return Fail(response, 400, error);
                    Reply(response, 200, kOk);
                }));
    PostAnyType(server, R"(/admin/downloads/([^/]+))",
                AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                    appcast.PutDownload(request.matches[1].str(), request.body);
                    Reply(response, 200, kOk);
                }));
}

}  // namespace nerolin::devservice
