#include "app/ui/DocumentLinks.h"

#include <algorithm>
#include <memory>

#include <curl/curl.h>

namespace nerolin {
namespace {

struct UrlFree {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlStringFree {
    void operator()(char* text) const { curl_free(text); }
};

}  // namespace

std::optional<std::string> UrlScheme(const std::string& url)
{
    std::unique_ptr<CURLU, UrlFree> handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    char* scheme = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) {
        return std::nullopt;
    }
    std::unique_ptr<char, CurlStringFree> owner(scheme);
    std::string text(scheme);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace nerolin
