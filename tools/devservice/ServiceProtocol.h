#pragma once

// Entry point of every POST of a signing session, whoever sends it (the agent
// over HTTPS, the simulated mobile application in process): records the
// request, applies the session's fault script and answers the exchange.

#include <string>

#include "tools/devservice/Answer.h"
#include "tools/devservice/SessionExchanges.h"
#include "tools/devservice/SessionStore.h"

namespace nerolin::devservice {

class ServiceProtocol {
public:
    ServiceProtocol(SessionStore& store, SessionUrls urls) : store_(store), urls_(std::move(urls)) {}

    // endpoint: "" for the session URL, else "certificate", "unsigned-hashes",
    // "signed-hashes" or "state". contentType: the request's header, empty
    // when it had none. origin: "agent" or "mobile".
    Answer Handle(const std::string& sessionId, const std::string& endpoint, const std::string& body,
                  const std::string& contentType, const std::string& origin);

    const SessionUrls& Urls() const { return urls_; }
    SessionStore& Store() { return store_; }

private:
    SessionStore& store_;
    SessionUrls urls_;
};

}  // namespace nerolin::devservice
