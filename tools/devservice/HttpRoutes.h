#pragma once

// The HTTP side of the service: which path reaches which part.
//
// Whitelist host:  GET  /whitelist/whitelist.json
// Signing service: POST /sessions/ID                      configuration, cancel
//                  POST /sessions/ID/certificate
//                  POST /sessions/ID/unsigned-hashes
//                  POST /sessions/ID/signed-hashes
//                  POST /sessions/ID/state
//                  GET  /documents/ID/DOCUMENT_ID         a document's content
//                  GET  /appcast.xml, GET /downloads/NAME
// Web application (same port): the integrator's side, for a browser:
//                  GET  /webapp/sessions/ID               a session's page (WebAppPage.h)
// Admin (same port as the service):
//                  POST /admin/sessions                   create (SessionSetup.h)
//                  GET  /admin/sessions/ID                report (SessionReport.h)
//                  POST /admin/sessions/ID/faults         add faults (FaultScript.h)
//                  POST /admin/sessions/ID/release-hashes end the 202 answers
//                  POST /admin/sessions/ID/release-stalls answer the stalled requests now
//                  POST /admin/sessions/ID/mobile         play the mobile application
//                  POST /admin/whitelist, GET /admin/whitelist/requests
//                  POST /admin/appcast, POST /admin/downloads/NAME

#include <utility>

#include <httplib.h>

#include "tools/devservice/AppcastFeed.h"
#include "tools/devservice/DevPki.h"
#include "tools/devservice/RequestDeadline.h"
#include "tools/devservice/ServiceProtocol.h"
#include "tools/devservice/WhitelistHost.h"

namespace nerolin::devservice {

// A route's handler runs once its request has arrived whole, so it ends the
// request's read deadline first: a handler may take its time (a scripted
// stall, the mobile application's whole run).
template <typename Handler>
httplib::Server::Handler AfterReading(Handler handler)
{
    return [handler = std::move(handler)](const httplib::Request& request, httplib::Response& response) {
        RequestDeadline::RequestRead();
        handler(request, response);
    };
}

void MountWhitelistRoutes(httplib::Server& server, WhitelistHost& whitelist);
void MountServiceRoutes(httplib::Server& server, ServiceProtocol& protocol, AppcastFeed& appcast);
void MountWebAppRoutes(httplib::Server& server, ServiceProtocol& protocol);
void MountAdminRoutes(httplib::Server& server, ServiceProtocol& protocol, const DevPki& pki, WhitelistHost& whitelist,
                      AppcastFeed& appcast);

}  // namespace nerolin::devservice
