#pragma once

// Taking a URL apart the way the exchanges need it: the service type code,
// the host, the port and the object (path, query and fragment).

#include <string>

namespace nerolin {

// Service type codes as Windows' URL parser numbers them (the event entry
// "Invalid service type: %d" carries them, and support reads them so).
inline constexpr int kServiceTypeFtp = 1;
inline constexpr int kServiceTypeHttp = 3;
inline constexpr int kServiceTypeUnknown = 0x1000;
inline constexpr int kServiceTypeHttps = 0x1000 + 11;  // 4107, the only one accepted

struct ServiceUrl {
    int serviceType = kServiceTypeUnknown;
    std::string scheme;  // lower case
    std::string host;    // as written: the whitelist lookup is exact, letter case included
    int port = 0;        // 443 for https when the URL names none
    std::string object;  // path with query and fragment, "/" at least
    std::string url;     // the whole URL as the parser rebuilt it, for the request
};

// False when the text is no absolute URL with a host.
bool ParseServiceUrl(const std::string& text, ServiceUrl& url);

}  // namespace nerolin
