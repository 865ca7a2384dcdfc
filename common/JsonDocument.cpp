#include "common/JsonDocument.h"

namespace nerolin {

bool JsonDepthWithin(std::string_view text, int limit)
{
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (c == '\0') {
            return false;
        }
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        switch (c) {
        case '"': inString = true; break;
        case '[':
        case '{':
            if (++depth > limit) {
                return false;
            }
            break;
        case ']':
        case '}':
            // A close at the outermost level is a syntax error that RapidJSON
            // stops at; it never nests deeper than what was counted before it.
            if (--depth < 0) {
                return true;
            }
            break;
        default: break;
        }
    }
    return true;
}

bool ParseJsonDocument(std::string_view text, rapidjson::Document& document, JsonRefusal* refusal)
{
    const auto refuse = [refusal](JsonRefusal why) {
        if (refusal != nullptr) {
            *refusal = why;
        }
        return false;
    };
    if (text.find('\0') != std::string_view::npos) {
        return refuse(JsonRefusal::ZeroByte);
    }
    if (!JsonDepthWithin(text)) {
        return refuse(JsonRefusal::TooDeep);
    }
    document.Parse(text.data(), text.size());
    if (document.HasParseError()) {
        return refuse(JsonRefusal::Syntax);
    }
    return true;
}

}  // namespace nerolin
