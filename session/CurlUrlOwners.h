#pragma once

// Owners for what curl's URL API hands out: the URL handle and its texts.

#include <memory>

#include <curl/curl.h>

namespace nerolin {

struct CurlUrlDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
using CurlUrlPtr = std::unique_ptr<CURLU, CurlUrlDeleter>;

struct CurlTextDeleter {
    void operator()(char* text) const { curl_free(text); }
};
using CurlTextPtr = std::unique_ptr<char, CurlTextDeleter>;

}  // namespace nerolin
