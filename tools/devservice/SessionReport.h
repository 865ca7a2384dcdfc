#pragma once

#include <string>

#include "tools/devservice/SessionStore.h"

namespace nerolin::devservice {

// What the service received and concluded for a session, for
// GET /admin/sessions/ID:
// {"sessionId", "mode", "state", "cancelled", "conclusion", "hashAlgorithm",
//  "pendingPolls", "resultMessage": {"code", "message"} (the last one sent),
//  "certificate" (the posted text, or null),
//  "documents": [{"documentId", "name", "unsignedHash", "signedHash",
//                 "signatureValid" (true, false or null), "detail"}],
//  "requests": [{"exchange", "origin", "contentType", "status", "fault", "body"}]
//               (the last RequestRecord::kKept, bodies cut),
//  "requestsDropped" (older requests no longer kept),
//  "violations": [text] (each once)}
std::string SessionReportJson(const DevSession& session);

}  // namespace nerolin::devservice
