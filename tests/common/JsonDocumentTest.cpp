// The one JSON reader: its refusals come before RapidJSON runs, so nesting
// that would overflow the stack and zero bytes that would cut the text short
// never reach it.

#include "common/JsonDocument.h"

#include <string>

#include <gtest/gtest.h>

namespace nerolin::test {
namespace {

using namespace std::string_literals;

// depth arrays inside one another: "[[...]]".
std::string Nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// depth objects inside one another: {"a":{"a":...{}...}}.
std::string NestedObjects(int depth)
{
    std::string text;
    for (int i = 1; i < depth; ++i) text += "{\"a\":";
    return text + "{}" + std::string(depth - 1, '}');
}

TEST(JsonDocument, DepthIsCountedOutsideStringsOnly)
{
    struct Case {
        std::string text;
        bool within;
    };
    const Case cases[] = {
        {Nested(kMaxJsonDepth), true},
        {Nested(kMaxJsonDepth + 1), false},
        {NestedObjects(kMaxJsonDepth), true},
        {NestedObjects(kMaxJsonDepth + 1), false},
        {"[[{\"k\":[]}],{}]", true},
        // Brackets in strings, after escaped quotes and backslashes, are text.
        {"[\"" + std::string(1000, '[') + "\"]", true},
        {"[\"\\\"" + std::string(1000, '{') + "\"]", true},
        {"[\"\\\\\"" + Nested(kMaxJsonDepth) + "]", false},
        // Closing brackets first never lower the count for what follows:
        // RapidJSON stops at the first one.
        {"]]]" + Nested(kMaxJsonDepth), true},
        {"\"unterminated " + std::string(1000, '['), true},
        {"{\"a\":1}\0"s, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JsonDepthWithin(c.text), c.within) << c.text.substr(0, 80);
    }
}

TEST(JsonDocument, RefusesZeroBytesDepthAndSyntaxAndSaysWhich)
{
    struct Case {
        std::string text;
        JsonRefusal refusal;
    };
    const Case cases[] = {
        {"{\"a\":1}\0trailing garbage"s, JsonRefusal::ZeroByte},
        {"{\"a\":\"x\0y\"}"s, JsonRefusal::ZeroByte},
        {std::string(1000000, '['), JsonRefusal::TooDeep},
        {Nested(1000000), JsonRefusal::TooDeep},
        {Nested(kMaxJsonDepth + 1), JsonRefusal::TooDeep},
        {"{\"a\":1} {}", JsonRefusal::Syntax},
        {"{\"a\":1,}", JsonRefusal::Syntax},
        {"", JsonRefusal::Syntax},
    };
    for (const Case& c : cases) {
        rapidjson::Document document;
        JsonRefusal refusal = JsonRefusal::Syntax;
        EXPECT_FALSE(ParseJsonDocument(c.text, document, &refusal)) << c.text.substr(0, 80);
        EXPECT_EQ(refusal, c.refusal) << c.text.substr(0, 80);
    }
    rapidjson::Document document;
    ASSERT_TRUE(ParseJsonDocument(" " + NestedObjects(kMaxJsonDepth) + "\r\n", document));
    EXPECT_TRUE(document.IsObject());
}

}  // namespace
}  // namespace nerolin::test
