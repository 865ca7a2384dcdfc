#include "tools/devservice/Json.h"

#include <cstring>

#include "common/JsonDocument.h"

namespace nerolin::devservice {

bool ParseJson(std::string_view text, rapidjson::Document& document) { return ParseJsonDocument(text, document); }

const rapidjson::Value* FindMember(const rapidjson::Value& value, const char* name)
{
    if (!value.IsObject()) return nullptr;
    // Linear search from the front, so a repeated key yields its first occurrence.
    std::size_t length = std::strlen(name);
    for (auto it = value.MemberBegin(); it != value.MemberEnd(); ++it) {
        if (it->name.GetStringLength() == length && std::memcmp(it->name.GetString(), name, length) == 0)
            return &it->value;
    }
    return nullptr;
}

bool ReadOptionalText(const rapidjson::Value& value, const char* name, std::string& target, std::string& error)
{
    const rapidjson::Value* member = FindMember(value, name);
    if (!member) return true;
    if (!member->IsString()) {
        error = std::string("\"") + name + "\" must be a string";
        return false;
    }
    target.assign(member->GetString(), member->GetStringLength());
    return true;
}

std::optional<std::string> StringMember(const rapidjson::Value& value, const char* name)
{
    const rapidjson::Value* member = FindMember(value, name);
    if (!member || !member->IsString()) return std::nullopt;
    return std::string(member->GetString(), member->GetStringLength());
}

std::string WriteJson(const rapidjson::Value& value)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace nerolin::devservice
