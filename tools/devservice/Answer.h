#pragma once

#include <string>

namespace nerolin::devservice {

inline constexpr const char* kJsonContentType = "application/json; charset=utf-8";

// One HTTP answer of the service.
struct Answer {
    int status = 200;
    std::string contentType = kJsonContentType;
    std::string body;
};

}  // namespace nerolin::devservice
