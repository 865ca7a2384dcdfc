#include "tools/devservice/WhitelistHost.h"

#include "tools/devservice/Json.h"

namespace nerolin::devservice {

Answer WhitelistHost::Serve(const std::string& target, const std::optional<std::string>& server,
                            const std::optional<std::string>& nocache)
{
    std::lock_guard lock(mutex_);
    requests_.push_back({target, server, nocache});
    if (body_) return {status_, contentType_, *body_};
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartArray();
    for (const auto& host : hosts_) WriteString(w, host);
    w.EndArray();
    return {status_, contentType_, std::string(buffer.GetString(), buffer.GetSize())};
}

bool WhitelistHost::Configure(const rapidjson::Value& request, std::string& error)
{
    if (!request.IsObject()) {
        error = "the request must be a JSON object";
        return false;
    }
    std::lock_guard lock(mutex_);
    if (const rapidjson::Value* reset = FindMember(request, "reset"); reset && reset->IsBool() && reset->GetBool()) {
        status_ = 200;
        contentType_ = kJsonContentType;
        body_.reset();
    }
    if (const rapidjson::Value* hosts = FindMember(request, "hosts")) {
        if (!hosts->IsArray()) {
            error = "\"hosts\" must be an array of strings";
            return false;
        }
        std::vector<std::string> list;
        for (const auto& host : hosts->GetArray()) {
            if (!host.IsString()) {
                error = "\"hosts\" must be an array of strings";
                return false;
            }
            list.emplace_back(host.GetString(), host.GetStringLength());
        }
        hosts_ = std::move(list);
    }
    if (const rapidjson::Value* status = FindMember(request, "status")) {
        if (!status->IsInt() || status->GetInt() < 100 || status->GetInt() > 999) {
            error = "\"status\" must be an HTTP status";
            return false;
        }
        status_ = status->GetInt();
    }
    if (auto type = StringMember(request, "contentType")) contentType_ = *type;
    if (auto body = StringMember(request, "body")) body_ = *body;
    return true;
}

std::string WhitelistHost::RequestsJson()
{
    std::lock_guard lock(mutex_);
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartArray();
    for (const auto& request : requests_) {
        w.StartObject();
        w.Key("target");
        WriteString(w, request.target);
        w.Key("server");
        if (request.server)
            WriteString(w, *request.server);
        else
            w.Null();
        w.Key("nocache");
        if (request.nocache)
            WriteString(w, *request.nocache);
        else
            w.Null();
        w.EndObject();
    }
    w.EndArray();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace nerolin::devservice
