#pragma once

// The page a web application shows its user for one session: the session's
// documents, a "Sign with Nerolin" link carrying the session's yendo: link,
// and a status that follows the session through the admin report
// (GET /admin/sessions/ID) until it ends, then each document's verdict.
// Plain HTML with a little JavaScript and no outside resources, so that it
// works where the service runs: on 127.0.0.1, without a network.

#include <string>

#include "tools/devservice/SessionStore.h"

namespace nerolin::devservice {

std::string WebAppPageHtml(const DevSession& session, const std::string& link);

// Text with &, <, >, " and ' written as HTML character references.
std::string EscapeHtml(const std::string& text);

}  // namespace nerolin::devservice
