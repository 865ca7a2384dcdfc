#pragma once

// What every HTTPS transfer of Nerolin sets on its libcurl handle, in one
// place: the user agent, the connect wait and the low-speed bound, HTTPS
// only, the stored proxy with its credentials, and the two trust rules (the system's store for the
// signing service and for updates, the built-in roots for the whitelist
// host). Each transfer adds what is its own: its callbacks, its headers,
// whether redirects are followed.

#include <memory>
#include <string>

#include <curl/curl.h>

#include "session/ExchangeLimits.h"

namespace nerolin {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasyPtr = std::unique_ptr<CURL, CurlEasyDeleter>;

// "Nerolin " and the build's four-part version.
const std::string& UserAgent();

// A handle for url with the settings above that every transfer shares (the
// trust rule apart); null when libcurl cannot give one.
CurlEasyPtr OpenTransferHandle(const std::string& url, const ExchangeLimits& limits);

// The signing service and update downloads: the system's trust store, with
// OpenSSL's SSL_CERT_FILE and SSL_CERT_DIR honoured (libcurl itself ignores
// them).
void ApplySystemTrust(CURL* handle);

// The whitelist host: the built-in roots alone.
void ApplyBuiltInTrust(CURL* handle);

}  // namespace nerolin
