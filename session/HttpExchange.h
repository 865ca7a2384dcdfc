#pragma once

// One HTTPS request and its answer, synchronously on the calling thread,
// over libcurl with OpenSSL. Every failure writes its one event entry here
// and comes back as a SessionError; nothing is thrown out of an exchange.
// The waits and sizes are bounded (session/ExchangeLimits.h).

#include <atomic>
#include <set>
#include <string>
#include <string_view>

#include "session/ExchangeLimits.h"
#include "session/SessionResult.h"

namespace nerolin {

// The whitelist download: trusts only the built-in roots and runs the
// server-trust test on the chain, also on a chain that the built-in roots
// refused, so that its entries name the root it ended in. Ok, BadUrl,
// InvalidServiceType or WhitelistConnectionError.
SessionError HttpGetJson(const std::string& url, int& status, std::string& body);

// A JSON document to the signing service, refused unless the URL's host is
// on the whitelist. Ok, BadUrl, InvalidServiceType, ServerNotAllowed or
// ConnectionError.
//
// A certificate the system does not trust is offered to the user once per
// run for its host (session/TrustAnswers.h); a refused one ends the exchange
// with its entry and no message of its own. When abort becomes true (from
// any thread) the exchange ends within about a second: the user abandoned
// it, so its entry is written but nothing is shown.
SessionError HttpPostJson(const std::string& url, const std::set<std::string>& whitelist, const std::string& request,
                          int& status, std::string& body, const std::atomic<bool>* abort = nullptr);

// Error entry "Invalid HTTP status code: %d".
void ReportInvalidStatus(int status);
// Error entry "JSON parse error! JSON: %s" with the body (cut at 64 KiB).
void ReportJsonError(std::string_view body);

}  // namespace nerolin
