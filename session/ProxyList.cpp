#include "session/ProxyList.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>
#include <vector>

#include <curl/curl.h>

#include "session/CurlUrlOwners.h"

namespace nerolin {
namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

struct Entry {
    std::string protocol;  // empty: every protocol
    std::string address;
};

std::vector<Entry> SplitEntries(const std::string& setting)
{
    std::vector<Entry> entries;
    std::size_t at = 0;
    while (at < setting.size()) {
        const std::size_t end = setting.find_first_of("; \t\r\n", at);
        const std::string item = setting.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? setting.size() : end + 1;
        if (item.empty()) {
            continue;
        }
        // "name=address": the name comes before any ':' or '/' of an address.
        const std::size_t equals = item.find('=');
        if (equals != std::string::npos && item.find_first_of(":/") > equals) {
            entries.push_back({Lower(item.substr(0, equals)), item.substr(equals + 1)});
        } else {
            entries.push_back({"", item});
        }
    }
    return entries;
}

// The address with its scheme and port made explicit; nothing when it is no
// host at all.
std::optional<std::string> ProxyUrl(const std::string& address, bool socks)
{
    if (address.empty()) {
        return std::nullopt;
    }
    const bool hasScheme = address.find("://") != std::string::npos;
    const std::string text = hasScheme ? address : (socks ? "socks4://" : "http://") + address;
    CurlUrlPtr url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return std::nullopt;
    }
    auto part = [&url](CURLUPart which) {
        char* raw = nullptr;
        const bool found = curl_url_get(url.get(), which, &raw, 0) == CURLUE_OK && raw != nullptr;
        CurlTextPtr owner(raw);
        return found ? std::optional<std::string>(raw) : std::nullopt;
    };
    const std::optional<std::string> host = part(CURLUPART_HOST);
    if (!host || host->empty()) {
        return std::nullopt;
    }
    if (!part(CURLUPART_PORT)) {
        // libcurl would take 1080 for an HTTP proxy without a port; Windows takes 80.
        curl_url_set(url.get(), CURLUPART_PORT, socks ? "1080" : "80", 0);
    }
    std::optional<std::string> whole = part(CURLUPART_URL);
    if (!whole) {
        return std::nullopt;
    }
    std::string result = *whole;
    // The URL API adds a "/" path that a proxy address never has.
    if (!result.empty() && result.back() == '/' && address.back() != '/') {
        result.pop_back();
    }
    return result;
}

}  // namespace

std::optional<std::string> HttpsProxyFromSetting(const std::string& setting)
{
    const std::vector<Entry> entries = SplitEntries(setting);
    if (entries.empty()) {
        return std::nullopt;
    }
    // The entry for HTTPS, else one for every protocol, else SOCKS.
    for (const char* wanted : {"https", "", "socks"}) {
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [wanted](const Entry& entry) { return entry.protocol == wanted; });
        if (found != entries.end()) {
            // An address that is no host is handed on as it stands: libcurl's
            // refusal then names it in the event log.
            return ProxyUrl(found->address, found->protocol == "socks").value_or(found->address);
        }
    }
    return std::string();  // proxies for other protocols only: HTTPS goes direct
}

}  // namespace nerolin
