#include "common/Text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace nerolin {
namespace {

TEST(HexEncode, UpperCaseDigitsWithoutSeparators)
{
    EXPECT_EQ(HexEncode(Bytes{}), "");
    EXPECT_EQ(HexEncode(Bytes{0x00}), "00");
    EXPECT_EQ(HexEncode(Bytes{0x0A, 0xFF}), "0AFF");
    EXPECT_EQ(HexEncode(Bytes{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}), "0123456789ABCDEF");
}

struct ConversionCase {
    const char* name;
    std::string utf8;
    std::u16string wide;
};

TEST(Utf8Conversion, ValidTextRoundTrips)
{
    const ConversionCase cases[] = {
        {"empty", "", u""},
        {"ascii", "abc", u"abc"},
        {"two bytes", "\xC3\xA9", u"\u00E9"},
        {"three bytes", "\xE2\x82\xAC", u"\u20AC"},
        {"surrogate pair", "\xF0\x9F\x98\x80", std::u16string{0xD83D, 0xDE00}},
        {"highest code point", "\xF4\x8F\xBF\xBF", std::u16string{0xDBFF, 0xDFFF}},
        {"embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"leading BOM stays", "\xEF\xBB\xBFx", u"\uFEFFx"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << c.name;
        EXPECT_EQ(WideToUtf8(c.wide), c.utf8) << c.name;
    }
}

void ExpectBadConversion(auto convert, const char* name)
{
    try {
        convert();
        ADD_FAILURE() << name << ": no error";
    } catch (const std::range_error& error) {
        EXPECT_STREQ(error.what(), "bad conversion") << name;
    }
}

TEST(Utf8Conversion, MalformedUtf8Throws)
{
    const std::pair<const char*, std::string> cases[] = {
        {"lone continuation byte", "\x80"},     {"sequence cut short", "\xC3"},
        {"cut short inside text", "a\xE2\x82"}, {"continuation missing", "\xC3\x41"},
        {"overlong slash", "\xC0\xAF"},         {"overlong three bytes", "\xE0\x80\xAF"},
        {"encoded surrogate", "\xED\xA0\x80"},  {"above U+10FFFF", "\xF4\x90\x80\x80"},
        {"invalid lead byte", "\xFF"},
    };
    for (const auto& [name, text] : cases) {
        ExpectBadConversion([&] { Utf8ToWide(text); }, name);
        ExpectBadConversion([&] { TrimUtf8(" " + text + " "); }, name);
    }
}

TEST(Utf8Conversion, UnpairedSurrogatesThrow)
{
    const std::pair<const char*, std::u16string> cases[] = {
        {"high then letter", std::u16string{0xD83D, 0x0041}},
        {"high at end", std::u16string{0x0041, 0xD83D}},
        {"lone low", std::u16string{0xDE00}},
        {"two highs", std::u16string{0xD83D, 0xD83D}},
    };
    for (const auto& [name, text] : cases) ExpectBadConversion([&] { WideToUtf8(text); }, name);
}

TEST(TrimUtf8, RemovesTheSixAsciiSpacesAtBothEndsOnly)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\tinner text\r\n", "inner text"},
        {" \v\f a b \t", "a b"},
        {"   ", ""},
        {"", ""},
        {"\xC2\xA0kept\xC2\xA0", "\xC2\xA0kept\xC2\xA0"},  // no-break space is not trimmed
        {" \xC3\xA9 ", "\xC3\xA9"},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(TrimUtf8(input), expected) << input;
}

}  // namespace
}  // namespace nerolin
