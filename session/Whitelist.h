#pragma once

// The whitelist of service hosts: where it is fetched from and how its
// document is read. SigningSession::DownloadWhitelist puts these together.

#include <ctime>
#include <set>
#include <string>
#include <string_view>

namespace nerolin {

// The whitelist host's base URL (path /whitelist/whitelist.json, no query):
// the build's. A development build lets tests name another through
// NEROLIN_TEST_WHITELIST_URL; a production build has no such switch.
std::string WhitelistBaseUrl();

// base + "?server=" + the host escaped as one path segment (with "%"), and
// "&nocache=" + nocache when nocache is not empty.
std::string WhitelistRequestUrl(const std::string& base, const std::string& host, const std::string& nocache);

// The local time as 14 digits "%Y%m%d%H%M%S"; empty when it cannot be made.
std::string NoCacheValue(std::time_t now);

// A strict JSON array of strings; each is inserted in order. The first
// element that is not a string stops the reading with false, leaving the
// hosts before it in the set.
bool ReadWhitelist(std::string_view body, std::set<std::string>& whitelist);

}  // namespace nerolin
