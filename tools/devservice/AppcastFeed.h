#pragma once

// An update feed in the Sparkle RSS form, with files to download beside it,
// for the updater's tests. The feed lists one release; tests set what it
// says, or replace the answer as a whole.
//
// POST /admin/appcast members (all optional):
//   "version", "shortVersionString", "title", "notes", "enclosureUrl",
//   "length" (integer), "type", "os", "edSignature", "dsaSignature",
//   "status", "contentType", "body" (raw text replacing the feed).

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <rapidjson/document.h>

#include "tools/devservice/Answer.h"

namespace nerolin::devservice {

class AppcastFeed {
public:
    // baseUrl: where /downloads/ is served; version: the release's version.
    AppcastFeed(const std::string& baseUrl, const std::string& version);

    Answer Feed();
    bool Configure(const rapidjson::Value& request, std::string& error);

    // Files under /downloads/NAME.
    void PutDownload(const std::string& name, std::string content);
    std::optional<std::string> Download(const std::string& name);

private:
    std::mutex mutex_;
    std::map<std::string, std::string> fields_;
    std::map<std::string, std::string> downloads_;
    int status_ = 200;
    std::string contentType_ = "application/rss+xml; charset=utf-8";
    std::optional<std::string> body_;
};

}  // namespace nerolin::devservice
