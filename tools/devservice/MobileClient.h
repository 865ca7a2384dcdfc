#pragma once

// Plays the mobile signing application on a session, in process and through
// the same protocol code the agent's requests reach: fetches the
// configuration, posts a certificate, waits for the hashes, posts signatures
// made with a development key. The agent meanwhile sees the states move.

#include <string>

#include "tools/devservice/DevPki.h"
#include "tools/devservice/ServiceProtocol.h"

namespace nerolin::devservice {

struct MobileOptions {
    std::string certificate = "ec";  // PKI name; SIGN mode uses the session's own
    std::string until = "finish";    // "config", "certificate" or "finish"
    bool tamper = false;             // spoil the first signature
};

// A JSON report: {"ok": bool, "steps": [{"exchange", "status"}], "error": text}.
std::string RunMobileApplication(ServiceProtocol& protocol, const DevPki& pki, const std::string& sessionId,
                                 const MobileOptions& options);

}  // namespace nerolin::devservice
