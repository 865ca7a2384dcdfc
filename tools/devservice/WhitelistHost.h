#pragma once

// The maker's whitelist host: answers GET /whitelist/whitelist.json with the
// allowed service hosts, and records every request so that tests can check
// the query the agent sent. Tests may replace the answer (status, content
// type, body) to try the agent's handling of a bad whitelist.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "tools/devservice/Answer.h"

namespace nerolin::devservice {

class WhitelistHost {
public:
    explicit WhitelistHost(std::vector<std::string> hosts) : hosts_(std::move(hosts)) {}

    // target: the request's path with its raw query; server and nocache: the
    // decoded query values, nullopt when absent.
    Answer Serve(const std::string& target, const std::optional<std::string>& server,
                 const std::optional<std::string>& nocache);

    // {"hosts": [...]} replaces the allowed hosts; "status", "contentType" and
    // "body" (raw text) replace parts of the answer; {"reset": true} restores
    // the normal answer. False and a reason on a bad request.
    bool Configure(const rapidjson::Value& request, std::string& error);

    // [{"target", "server", "nocache"}] (null for an absent parameter).
    std::string RequestsJson();

private:
    struct Recorded {
        std::string target;
        std::optional<std::string> server, nocache;
    };
    std::mutex mutex_;
    std::vector<std::string> hosts_;
    int status_ = 200;
    std::string contentType_ = kJsonContentType;
    std::optional<std::string> body_;
    std::vector<Recorded> requests_;
};

}  // namespace nerolin::devservice
