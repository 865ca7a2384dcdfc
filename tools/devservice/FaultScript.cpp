#include "tools/devservice/FaultScript.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "tools/devservice/Json.h"

namespace nerolin::devservice {
namespace {

constexpr std::array kExchanges = {"any", "config", "cancel", "certificate", "unsignedHashes", "signedHashes", "state"};
constexpr std::array kKinds = {"status", "contentType", "badJson",      "otherSessionId",
                               "stall",  "oversized",   "serviceError", "deepJson"};
constexpr std::size_t kMaxOversized = 256u << 20;

template <std::size_t N>
bool OneOf(const std::string& text, const std::array<const char*, N>& names)
{
    return std::any_of(names.begin(), names.end(), [&](const char* name) { return text == name; });
}

std::optional<Fault> ParseOne(const rapidjson::Value& value, std::string& error)
{
    if (!value.IsObject()) {
        error = "a fault must be an object";
        return std::nullopt;
    }
    Fault fault;
    auto text = [&](const char* name, std::string& target) { return ReadOptionalText(value, name, target, error); };
    auto integer = [&](const char* name, auto& target, long long low, long long high) {
        const rapidjson::Value* member = FindMember(value, name);
        if (!member) return true;
        if (!member->IsInt64() || member->GetInt64() < low || member->GetInt64() > high) {
            error = std::string("\"") + name + "\" must be an integer from " + std::to_string(low) + " to " +
                    std::to_string(high);
            return false;
        }
        target = static_cast<std::remove_reference_t<decltype(target)>>(member->GetInt64());
        return true;
    };
    if (!text("exchange", fault.exchange) || !text("kind", fault.kind) || !text("contentType", fault.contentType) ||
        !text("code", fault.code) || !text("message", fault.message) || !integer("status", fault.status, 100, 999) ||
        !integer("seconds", fault.seconds, 0, 86400) ||
        !integer("bytes", fault.bytes, 0, static_cast<long long>(kMaxOversized)) ||
        !integer("times", fault.times, 0, 1000000))
        return std::nullopt;
    if (const rapidjson::Value* end = FindMember(value, "endSession"); end && end->IsBool())
        fault.endSession = end->GetBool();
    if (!OneOf(fault.exchange, kExchanges)) {
        error = "unknown exchange \"" + fault.exchange + "\"";
        return std::nullopt;
    }
    if (!OneOf(fault.kind, kKinds)) {
        error = "unknown fault kind \"" + fault.kind + "\"";
        return std::nullopt;
    }
    return fault;
}

}  // namespace

std::optional<std::vector<Fault>> FaultScript::Parse(const rapidjson::Value& value, std::string& error)
{
    std::vector<Fault> faults;
    if (value.IsArray()) {
        for (const auto& element : value.GetArray()) {
            auto fault = ParseOne(element, error);
            if (!fault) return std::nullopt;
            faults.push_back(*fault);
        }
    } else {
        auto fault = ParseOne(value, error);
        if (!fault) return std::nullopt;
        faults.push_back(*fault);
    }
    return faults;
}

void FaultScript::Append(const std::vector<Fault>& faults)
{
    faults_.insert(faults_.end(), faults.begin(), faults.end());
}

std::optional<Fault> FaultScript::Take(std::string_view exchange)
{
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->exchange != "any" && it->exchange != exchange) continue;
        Fault fault = *it;
        if (it->times == 1)
            faults_.erase(it);
        else if (it->times > 1)
            --it->times;
        return fault;
    }
    return std::nullopt;
}

std::string BadJsonBody(const std::string& sessionId)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    WriteString(writer, sessionId);
    return "{\"sessionId\":" + std::string(buffer.GetString(), buffer.GetSize()) + ",\"code\":";
}

std::string DeepJsonBody(std::size_t bytes)
{
    std::string body = "{\"sessionId\":";
    body.append(bytes > body.size() ? bytes - body.size() : 0, '[');
    return body;
}

std::string OversizedBody(const std::string& sessionId, std::size_t bytes)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    WriteString(writer, sessionId);
    std::string head = "{\"sessionId\":" + std::string(buffer.GetString(), buffer.GetSize()) + ",\"padding\":\"";
    const std::string tail = "\"}";
    std::size_t padding = bytes > head.size() + tail.size() ? bytes - head.size() - tail.size() : 0;
    std::string body;
    body.reserve(head.size() + padding + tail.size());
    body += head;
    body.append(padding, 'x');
    body += tail;
    return body;
}

}  // namespace nerolin::devservice
