#pragma once

// The stored proxy setting read the way Windows' own HTTP stack reads it, so
// that a value an administrator copied from a Windows machine works here:
//   "proxy:3128"                          one proxy for every protocol
//   "http://proxy:3128"                   the same, with a scheme
//   "http=proxy:3128;https=proxy:3129"    one proxy per protocol (";" or blanks between)
//   "socks=proxy:1080"                    SOCKS, used when no entry names the protocol
// Every transfer of Nerolin is HTTPS, so only the proxy for HTTPS counts.

#include <optional>
#include <string>

namespace nerolin {

// The proxy for an HTTPS transfer as libcurl takes it ("http://proxy:3129",
// "socks4://proxy:1080"), or the empty text when the setting names proxies
// for other protocols only: then the transfer goes direct, as on Windows.
// A proxy without a port is on port 80 (SOCKS: 1080). An address that is no
// host stays as written, so that the transfer fails and says why. Nothing
// when the setting holds no entry at all.
std::optional<std::string> HttpsProxyFromSetting(const std::string& setting);

}  // namespace nerolin
