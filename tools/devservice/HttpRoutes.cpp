#include "tools/devservice/HttpRoutes.h"

#include <optional>

#include "tools/devservice/SessionSetup.h"
#include "tools/devservice/WebAppPage.h"

namespace nerolin::devservice {
namespace {

void Send(httplib::Response& response, const Answer& answer)
{
    response.status = answer.status;
    response.set_content(answer.body, answer.contentType.c_str());
}

std::optional<std::string> Param(const httplib::Request& request, const char* name)
{
    if (!request.has_param(name)) return std::nullopt;
    return request.get_param_value(name);
}

}  // namespace

void MountWhitelistRoutes(httplib::Server& server, WhitelistHost& whitelist)
{
    server.Get("/whitelist/whitelist.json",
               AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                   Send(response, whitelist.Serve(request.target, Param(request, "server"), Param(request, "nocache")));
               }));
}

void MountServiceRoutes(httplib::Server& server, ServiceProtocol& protocol, AppcastFeed& appcast)
{
    auto post = [&](const httplib::Request& request, httplib::Response& response) {
        std::string endpoint = request.matches.size() > 2 ? request.matches[2].str() : std::string();
        std::string type = request.has_header("Content-Type") ? request.get_header_value("Content-Type") : "";
        Send(response, protocol.Handle(request.matches[1].str(), endpoint, request.body, type, "agent"));
    };
    server.Post(R"(/sessions/([^/]+))", AfterReading(post));
    server.Post(R"(/sessions/([^/]+)/(certificate|unsigned-hashes|signed-hashes|state))", AfterReading(post));

    server.Get(R"(/documents/([^/]+)/([^/]+))",
               AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                   std::optional<std::string> content;
                   protocol.Store().With(request.matches[1].str(), [&](DevSession& session) {
                       for (const auto& document : session.documents)
                           if (document.documentId == request.matches[2].str()) content = document.content;
                   });
                   if (!content) {
                       response.status = 404;
                       return;
                   }
                   response.set_content(*content, "text/plain; charset=utf-8");
               }));
    server.Get("/appcast.xml", AfterReading([&](const httplib::Request&, httplib::Response& response) {
                   Send(response, appcast.Feed());
               }));
    server.Get(R"(/downloads/([^/]+))", AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                   auto content = appcast.Download(request.matches[1].str());
                   if (!content) {
                       response.status = 404;
                       return;
                   }
                   response.set_content(*content, "application/octet-stream");
               }));
}

void MountWebAppRoutes(httplib::Server& server, ServiceProtocol& protocol)
{
    server.Get(R"(/webapp/sessions/([^/]+))",
               AfterReading([&](const httplib::Request& request, httplib::Response& response) {
                   std::optional<std::string> page;
                   protocol.Store().With(request.matches[1].str(), [&](DevSession& session) {
                       page = WebAppPageHtml(session, LaunchLinkFor(protocol.Urls(), session));
                   });
                   if (!page) {
                       response.status = 404;
                       response.set_content("unknown session\n", "text/plain; charset=utf-8");
                       return;
                   }
                   response.set_header("Cache-Control", "no-store");
                   response.set_content(*page, "text/html; charset=utf-8");
               }));
}

}  // namespace nerolin::devservice
