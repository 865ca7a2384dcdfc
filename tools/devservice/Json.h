#pragma once

// The few JSON operations the service needs, over RapidJSON: a strict parse
// (one value, nothing but white space after it), first-occurrence member
// lookup, and compact writing.

#include <optional>
#include <string>
#include <string_view>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace nerolin::devservice {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// False on a syntax error, trailing content, a zero byte or nesting deeper
// than kMaxJsonDepth (common/JsonDocument.h), refused before RapidJSON runs.
bool ParseJson(std::string_view text, rapidjson::Document& document);

// The first member of that name, or null (also when value is not an object).
const rapidjson::Value* FindMember(const rapidjson::Value& value, const char* name);

// The member's text when it is a string.
std::optional<std::string> StringMember(const rapidjson::Value& value, const char* name);

// Reads an optional text member of a request into target: absent leaves
// target as it is; a member that is not a string sets error and gives false.
bool ReadOptionalText(const rapidjson::Value& value, const char* name, std::string& target, std::string& error);

// Compact text of a value.
std::string WriteJson(const rapidjson::Value& value);

// Writes a std::string as a JSON string (embedded NULs kept).
inline void WriteString(JsonWriter& writer, std::string_view text)
{
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

}  // namespace nerolin::devservice
