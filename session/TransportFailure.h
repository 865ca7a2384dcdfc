#pragma once

// What the user reads when a transfer fails below HTTP: a plain sentence
// from the string table for each kind of failure. libcurl's own wording is
// technical and English only; it stays in the event entry with the code.

#include <string>

namespace nerolin {

// The text for a libcurl result code (CURLcode). proxyStatus is the proxy's
// answer to CONNECT (0 for none): a proxy that refuses the user's
// credentials (407, or 401 from some) makes libcurl report only a broken
// transfer, while the user has a setting to correct.
std::string TransportFailureText(int curlCode, long proxyStatus = 0);

}  // namespace nerolin
