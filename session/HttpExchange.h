#pragma once

// One HTTPS request and its answer, synchronously on the calling thread,
// over libcurl with OpenSSL. Every failure writes its one event entry here
// and comes back as a SessionError; nothing is thrown out of an exchange.

#include <chrono>
#include <set>
#include <string>
#include <string_view>

#include "session/SessionResult.h"

namespace nerolin {

// Limits that keep a dead or hostile server from hanging the agent or
// filling its memory. Tests shorten the waits; the agent uses the defaults.
struct ExchangeLimits {
    std::chrono::milliseconds connectTimeout{30000};
    std::chrono::milliseconds idleTimeout{60000};  // no byte received for this long
    std::size_t maxBodySize = 16 * 1024 * 1024;
};
ExchangeLimits CurrentExchangeLimits();
void SetExchangeLimits(const ExchangeLimits& limits);  // process-wide, for tests

// The whitelist download: trusts only the built-in roots and runs the
// server-trust test on the chain. Ok, BadUrl, InvalidServiceType or
// WhitelistConnectionError.
SessionError HttpGetJson(const std::string& url, int& status, std::string& body);

// A JSON document to the signing service, refused unless the URL's host is
// on the whitelist. Ok, BadUrl, InvalidServiceType, ServerNotAllowed or
// ConnectionError.
SessionError HttpPostJson(const std::string& url, const std::set<std::string>& whitelist, const std::string& request,
                          int& status, std::string& body);

// Error entry "Invalid HTTP status code: %d".
void ReportInvalidStatus(int status);
// Error entry "JSON parse error! JSON: %s" with the body (cut at 64 KiB).
void ReportJsonError(std::string_view body);

}  // namespace nerolin
