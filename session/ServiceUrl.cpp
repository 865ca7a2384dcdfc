#include "session/ServiceUrl.h"

#include <cctype>
#include <memory>
#include <string_view>

#include <curl/curl.h>

#include "session/CurlUrlOwners.h"

namespace nerolin {

namespace {

// One part of the URL, or nothing when the URL lacks it.
bool Part(CURLU* handle, CURLUPart part, unsigned flags, std::string& out)
{
    char* raw = nullptr;
    if (curl_url_get(handle, part, &raw, flags) != CURLUE_OK || raw == nullptr) {
        return false;
    }
    CurlTextPtr owner(raw);
    out = raw;
    return true;
}

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

struct KnownScheme {
    std::string_view scheme;
    int type;
    int defaultPort;  // 0: none
};

// The default ports are the scheme's own, whichever protocols the linked
// libcurl was built with.
constexpr KnownScheme kKnownSchemes[] = {
    {"ftp", kServiceTypeFtp, 21}, {"gopher", 2, 70},          {"http", kServiceTypeHttp, 80},
    {"file", 0x1000 + 1, 0},      {"mailto", 0x1000 + 2, 0},  {"news", 0x1000 + 5, 0},
    {"nntp", 0x1000 + 6, 0},      {"telnet", 0x1000 + 8, 23}, {"https", kServiceTypeHttps, 443},
};

const KnownScheme* FindScheme(std::string_view scheme)
{
    for (const KnownScheme& known : kKnownSchemes) {
        if (known.scheme == scheme) {
            return &known;
        }
    }
    return nullptr;
}

}  // namespace

bool ParseServiceUrl(const std::string& text, ServiceUrl& url)
{
    CurlUrlPtr handle(curl_url());
    if (!handle || text.empty() || text.find('\0') != std::string::npos) {
        return false;
    }
    // Unknown schemes still parse, so that they are refused by type. A blank
    // in the path or query is taken and sent escaped, as browsers and the
    // Windows parser do; a blank in the host still makes the URL bad.
    constexpr unsigned kFlags = CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE | CURLU_URLENCODE;
    if (curl_url_set(handle.get(), CURLUPART_URL, text.c_str(), kFlags) != CURLUE_OK) {
        return false;
    }
    std::string scheme;
    std::string host;
    if (!Part(handle.get(), CURLUPART_SCHEME, 0, scheme) || !Part(handle.get(), CURLUPART_HOST, 0, host) ||
        host.empty()) {
        return false;
    }
    url.scheme = Lower(scheme);
    const KnownScheme* known = FindScheme(url.scheme);
    url.serviceType = known != nullptr ? known->type : kServiceTypeUnknown;
    // The host stays as written: the whitelist compares it byte for byte,
    // and the whitelist host is told the same name the lookup uses.
    url.host = host;
    std::string port;
    if (Part(handle.get(), CURLUPART_PORT, 0, port)) {
        url.port = std::stoi(port);
    } else {
        url.port = known != nullptr ? known->defaultPort : 0;
    }
    std::string path;
    std::string query;
    std::string fragment;
    Part(handle.get(), CURLUPART_PATH, 0, path);
    url.object = path.empty() ? "/" : path;
    if (Part(handle.get(), CURLUPART_QUERY, 0, query)) {
        url.object += "?" + query;
    }
    if (Part(handle.get(), CURLUPART_FRAGMENT, 0, fragment)) {
        url.object += "#" + fragment;
    }
    Part(handle.get(), CURLUPART_URL, 0, url.url);
    return true;
}

}  // namespace nerolin
