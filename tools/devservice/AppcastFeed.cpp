#include "tools/devservice/AppcastFeed.h"

#include "tools/devservice/Json.h"

namespace nerolin::devservice {
namespace {

std::string XmlEscape(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

}  // namespace

AppcastFeed::AppcastFeed(const std::string& baseUrl, const std::string& version)
{
    std::string file = "nerolin-" + version + ".tar.gz";
    std::string content = "Nerolin " + version + " development update package\n";
    downloads_[file] = content;
    fields_ = {
        {"title", "Nerolin " + version},
        {"version", version},
        {"shortVersionString", version},
        {"notes", "Development release " + version + "."},
        {"enclosureUrl", baseUrl + "/downloads/" + file},
        {"length", std::to_string(content.size())},
        {"type", "application/octet-stream"},
        {"os", "linux"},
        {"edSignature", ""},
        {"dsaSignature", ""},
    };
}

Answer AppcastFeed::Feed()
{
    std::lock_guard lock(mutex_);
    if (body_) return {status_, contentType_, *body_};
    auto f = [&](const char* name) { return XmlEscape(fields_[name]); };
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
        "  <channel>\n"
        "    <title>Nerolin updates</title>\n"
        "    <item>\n"
        "      <title>" +
        f("title") +
        "</title>\n"
        "      <description>" +
        f("notes") +
        "</description>\n"
        "      <pubDate>Thu, 10 Dec 2026 00:00:00 +0000</pubDate>\n"
        "      <enclosure url=\"" +
        f("enclosureUrl") + "\" sparkle:version=\"" + f("version") + "\" sparkle:shortVersionString=\"" +
        f("shortVersionString") + "\" sparkle:os=\"" + f("os") + "\" length=\"" + f("length") + "\" type=\"" +
        f("type") + "\"";
    if (!fields_["edSignature"].empty()) xml += " sparkle:edSignature=\"" + f("edSignature") + "\"";
    if (!fields_["dsaSignature"].empty()) xml += " sparkle:dsaSignature=\"" + f("dsaSignature") + "\"";
    xml += " />\n    </item>\n  </channel>\n</rss>\n";
    return {status_, contentType_, xml};
}

bool AppcastFeed::Configure(const rapidjson::Value& request, std::string& error)
{
    if (!request.IsObject()) {
        error = "the request must be a JSON object";
        return false;
    }
    std::lock_guard lock(mutex_);
    for (auto& [name, value] : fields_) {
        const rapidjson::Value* member = FindMember(request, name.c_str());
        if (!member) continue;
        if (member->IsString())
            value.assign(member->GetString(), member->GetStringLength());
        else if (member->IsInt64())
            value = std::to_string(member->GetInt64());
        else {
            error = "\"" + name + "\" must be a string or an integer";
            return false;
        }
    }
    if (const rapidjson::Value* status = FindMember(request, "status"); status && status->IsInt())
        status_ = status->GetInt();
    if (auto type = StringMember(request, "contentType")) contentType_ = *type;
    if (auto body = StringMember(request, "body")) body_ = *body;
    return true;
}

void AppcastFeed::PutDownload(const std::string& name, std::string content)
{
    std::lock_guard lock(mutex_);
    downloads_[name] = std::move(content);
}

std::optional<std::string> AppcastFeed::Download(const std::string& name)
{
    std::lock_guard lock(mutex_);
    auto it = downloads_.find(name);
    if (it == downloads_.end()) return std::nullopt;
    return it->second;
}

}  // namespace nerolin::devservice
