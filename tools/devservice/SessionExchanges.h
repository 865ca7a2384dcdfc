#pragma once

// The service's side of each exchange of a signing session, given a request
// that has already been parsed: checks the request, moves the session's state
// and writes the answer document. Called with the store's lock held.

#include <string>

#include <rapidjson/document.h>

#include "tools/devservice/Answer.h"
#include "tools/devservice/SessionStore.h"

namespace nerolin::devservice {

// The URLs of one session on the service.
struct SessionUrls {
    std::string base;  // e.g. https://127.0.0.1:18444
    std::string Session(const std::string& id) const { return base + "/sessions/" + id; }
    std::string Certificate(const std::string& id) const { return Session(id) + "/certificate"; }
    std::string UnsignedHashes(const std::string& id) const { return Session(id) + "/unsigned-hashes"; }
    std::string SignedHashes(const std::string& id) const { return Session(id) + "/signed-hashes"; }
    std::string State(const std::string& id) const { return Session(id) + "/state"; }
    std::string Document(const std::string& id, const std::string& documentId) const
    {
        return base + "/documents/" + id + "/" + documentId;
    }
};

// exchange: config, cancel, certificate, unsignedHashes, signedHashes, state.
// request is null when the body was not JSON.
Answer AnswerExchange(DevSession& session, const SessionUrls& urls, const std::string& exchange,
                      const rapidjson::Document* request, const std::string& body);

// Fills the unsigned hash of every document that has none, for a signer of
// the given OpenSSL key type (EVP_PKEY_RSA, EVP_PKEY_EC).
void MakeUnsignedHashes(DevSession& session, int keyType);

// A result message {"sessionId","code","message"}; remembered in the session.
Answer ResultMessage(DevSession& session, int status, const std::string& code, const std::string& message);

}  // namespace nerolin::devservice
