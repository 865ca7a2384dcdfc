#include "common/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace nerolin {
namespace {

Bytes Sequence(std::size_t length)
{
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

std::vector<std::size_t> LineLengths(const std::string& text)
{
    std::vector<std::size_t> lengths;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "text does not end with CR LF";
            break;
        }
        lengths.push_back(end - start);
        start = end + 2;
    }
    return lengths;
}

TEST(Base64Encode, SixtyFourCharacterLinesEachEndedByCrLf)
{
    const std::pair<std::size_t, std::vector<std::size_t>> cases[] = {
        {1, {4}}, {47, {64}}, {48, {64}}, {49, {64, 4}}, {100, {64, 64, 8}},
    };
    for (const auto& [length, lines] : cases) {
        EXPECT_EQ(LineLengths(Base64Encode(Sequence(length), Base64Format::Base64)), lines) << length;
    }
    EXPECT_EQ(Base64Encode(Bytes{'T'}, Base64Format::Base64), "VA==\r\n");
    EXPECT_EQ(Base64Encode(Bytes{}, Base64Format::Base64), "");
    EXPECT_EQ(Base64Encode(nullptr, 5, Base64Format::Base64Header), "");
}

TEST(Base64Encode, HeaderFormFramesTheSameLines)
{
    const Bytes bytes = Sequence(100);
    EXPECT_EQ(Base64Encode(bytes, Base64Format::Base64Header), "-----BEGIN CERTIFICATE-----\r\n" +
                                                                   Base64Encode(bytes, Base64Format::Base64) +
                                                                   "-----END CERTIFICATE-----\r\n");
}

TEST(Base64Decode, ReadsBackWhatTheEncoderWrites)
{
    for (std::size_t length : {1, 2, 3, 47, 48, 100, 1000}) {
        const Bytes bytes = Sequence(length);
        for (auto format : {Base64Format::Base64, Base64Format::Base64Header}) {
            EXPECT_EQ(Base64Decode(Base64Encode(bytes, format), format), bytes) << length;
        }
    }
}

TEST(Base64Decode, BareFormRules)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"VGVzdA==", "Test"},
        {" VG\tVz\r\ndA==\r\n", "Test"},  // space, tab, CR and LF are skipped
        {"V===", "T"},                    // decoding stops at padding
        {"VA==VGVz", "T"},
        {"V=", ""},
        {"VV=", ""},
        {"V==", ""},
        {"VGVzd", ""},           // incomplete group
        {"VGVz.A==", ""},        // a character outside the alphabet
        {"VGVzdA==\v", "Test"},  // after padding nothing more is read
        {"VG=z", ""},            // data after padding inside the group
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Base64Decode(text, Base64Format::Base64), Bytes(expected.begin(), expected.end())) << text;
    }
}

TEST(Base64Decode, HeaderFormRules)
{
    const std::pair<std::string, std::string> cases[] = {
        {"-----BEGIN CERTIFICATE-----\r\nVGVzdA==\r\n-----END CERTIFICATE-----\r\n", "Test"},
        {"preamble text\n-----BEGIN X509 CRL-----\nVGVz\ndA==\n-----END X509 CRL-----", "Test"},
        {"-----BEGIN CERTIFICATE-----\r\nVGVzdA==\r\n", ""},        // no END line
        {"VGVzdA==", ""},                                           // no frame at all
        {"-----BEGINCERT-----\nVGVzdA==\n-----END CERT-----", ""},  // no space after BEGIN
        {"-----BEGIN C-----\nVG!zdA==\n-----END C-----", ""},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Base64Decode(text, Base64Format::Base64Header), Bytes(expected.begin(), expected.end())) << text;
    }
    // The bare form refuses a PEM frame.
    EXPECT_TRUE(Base64Decode(cases[0].first, Base64Format::Base64).empty());
}

}  // namespace
}  // namespace nerolin
