#pragma once

// Per-session faults that tests script through the admin API, so that the
// agent's handling of a misbehaving service can be tried against a real
// server. Each fault names the exchange it hits and how often.
//
// JSON form of one fault (all members but "kind" optional):
//   {"exchange": "config" | "cancel" | "certificate" | "unsignedHashes" |
//                "signedHashes" | "state" | "any"            (default "any"),
//    "kind": "status"          answer "status" (default 500) with a JSON body
//          | "contentType"     the normal answer, declared as "contentType"
//                              (default "text/html")
//          | "badJson"         200 with a truncated JSON body
//          | "otherSessionId"  the normal answer carrying another sessionId
//          | "stall"           wait "seconds" (default 3600) before answering,
//                              or until the admin API releases the stalls
//          | "oversized"       200 with a valid JSON body of "bytes" bytes
//                              (default 20 MiB)
//          | "deepJson"        200 with "bytes" bytes of an object whose
//                              "sessionId" opens arrays without end, nested
//                              far deeper than any reader's limit
//          | "serviceError",   420 with "code" (default "ERROR") and "message";
//                              "endSession": true also ends the session in ERROR
//    "times": n  (default 1; 0 means every time)}
// "contentType" and "otherSessionId" let the exchange take its effect (the
// service did its work, only the answer is wrong); the others do not, except
// "stall", which answers normally once the wait is over.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>

namespace nerolin::devservice {

struct Fault {
    std::string exchange = "any";
    std::string kind;
    int status = 500;
    std::string contentType = "text/html";
    std::string code = "ERROR";
    std::string message;
    int seconds = 3600;
    std::size_t bytes = 20u << 20;
    int times = 1;
    bool endSession = false;
};

class FaultScript {
public:
    // A JSON array of faults or a single fault object; nullopt and a reason
    // when a member is of the wrong kind.
    static std::optional<std::vector<Fault>> Parse(const rapidjson::Value& value, std::string& error);

    void Append(const std::vector<Fault>& faults);
    // The first fault that applies to the exchange, one use consumed.
    std::optional<Fault> Take(std::string_view exchange);

private:
    std::vector<Fault> faults_;
};

// A body that is not complete JSON.
std::string BadJsonBody(const std::string& sessionId);
// {"sessionId": followed by "[" up to bytes in all.
std::string DeepJsonBody(std::size_t bytes);
// A well-formed JSON object of exactly (at least, for a very small size) bytes.
std::string OversizedBody(const std::string& sessionId, std::size_t bytes);

}  // namespace nerolin::devservice
