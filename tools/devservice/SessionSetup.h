#pragma once

// Turns an admin request into a new session. JSON members (all optional):
//   "mode"          SELECT_CERTIFICATE | SIGN | SELECT_CERTIFICATE_AND_SIGN | TEST
//                   (default SELECT_CERTIFICATE_AND_SIGN)
//   "sessionId"     letters, digits, "-", "_", "." (default: 32 random hex digits)
//   "version", "SPName", "message"          texts of the configuration
//   "documents"     [{"documentId", "name", "downloadUrl", "content", "unsignedHash"}]
//                   (default: two documents; "content" is what the hash is made
//                   of, "unsignedHash" (Base64) replaces the computed hash)
//   "filters"       any JSON value, sent as it is
//   "certificate"   SIGN mode: a signing certificate's name in the PKI (default
//                   "rsa") or its PEM text
//   "hashAlgorithm" OID text (default SHA-256); "" for none
//   "pendingPolls"  how many 202 answers come before the hashes (default 0;
//                   negative: until POST /admin/sessions/ID/release-hashes)
//   "stateUrl"      false leaves the state URL out (default true)
//   "finalCode"     code of the result message on success (default "OK")
//   "faults"        a fault script (FaultScript.h)

#include <optional>
#include <string>

#include <rapidjson/document.h>

#include "tools/devservice/DevPki.h"
#include "tools/devservice/SessionExchanges.h"
#include "tools/devservice/SessionStore.h"

namespace nerolin::devservice {

inline constexpr const char* kSha256Oid = "2.16.840.1.101.3.4.2.1";

std::optional<DevSession> SessionFromRequest(const rapidjson::Value& request, const DevPki& pki,
                                             const SessionUrls& urls, std::string& error);

// The "yendo:" link that starts the agent on a session, escaped with the
// agent's own link rules.
std::string LaunchLinkFor(const SessionUrls& urls, const DevSession& session);

}  // namespace nerolin::devservice
