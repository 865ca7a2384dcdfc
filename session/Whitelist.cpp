#include "session/Whitelist.h"

#include <cstdlib>
#include <stdexcept>

#include <rapidjson/document.h>

#include "BuildConfig.h"
#include "common/JsonDocument.h"
#include "common/Text.h"
#include "platform/LocalTime.h"
#include "session/UrlEscape.h"

namespace nerolin {

std::string WhitelistBaseUrl()
{
    if constexpr (build::kDevelopmentBuild) {
        if (const char* url = std::getenv("NEROLIN_TEST_WHITELIST_URL"); url != nullptr && *url != '\0') {
            return url;
        }
    }
    return build::kWhitelistUrl;
}

std::string WhitelistRequestUrl(const std::string& base, const std::string& host, const std::string& nocache)
{
    std::string server;
    try {
        server = WideToUtf8(UrlEscape(Utf8ToWide(host), kUrlEscapeSegmentOnly | kUrlEscapePercent));
    } catch (const std::exception&) {
        // The value stays empty, as when the escape fails.
    }
    std::string url = base + "?server=" + server;
    if (!nocache.empty()) {
        url += "&nocache=" + nocache;
    }
    return url;
}

std::string NoCacheValue(std::time_t now)
{
    std::tm local{};
    char text[15] = {};
    if (!ToLocalTime(now, local) || std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local) != 14) {
        return {};
    }
    return text;
}

bool ReadWhitelist(std::string_view body, std::set<std::string>& whitelist)
{
    rapidjson::Document document;
    if (!ParseJsonDocument(body, document) || !document.IsArray()) {
        return false;
    }
    for (const rapidjson::Value& host : document.GetArray()) {
        if (!host.IsString()) {
            return false;
        }
        whitelist.emplace(host.GetString(), host.GetStringLength());
    }
    return true;
}

}  // namespace nerolin
