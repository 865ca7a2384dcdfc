#include "app/main/CommandLine.h"

#include <gtest/gtest.h>

namespace nerolin::test {
namespace {

TEST(CommandLineTest, OnlyTheFirstParameterCountsAndTheQuoteRuleKeepsRawJsonWhole)
{
    struct Case {
        std::vector<std::u16string> arguments;
        std::u16string first;
        bool flag;
        int index;
    };
    const Case cases[] = {
        {{}, u"", false, -1},
        {{u""}, u"", false, 0},
        {{u"-Register", u"more", u"words"}, u"Register", true, 2},
        {{u"/Unregister"}, u"Unregister", true, 0},
        {{u"-"}, u"", true, 0},
        {{u"yendo:{}", u"-Register"}, u"yendo:{}", false, 1},
        {{u"\"yendo:{\"a\":\"b c\"}\""}, u"yendo:{\"a\":\"b c\"}", false, 0},
        {{u"\"\"yendo:{\"a\":1}\"\"\""}, u"yendo:{\"a\":1}", false, 0},
        {{u"\"yendo:{\"a\":", u"1}\""}, u"yendo:{\"a\": 1}", false, 0},  // the joined text as one
        {{u"\"-Register\"x\""}, u"-Register\"x", false, 0},              // never a flag
        {{u"\"-Register\""}, u"\"-Register\"", false, 0},                // no quote inside: the arguments as given
        {{u"\"a", u"b\""}, u"\"a", false, 1},
        {{u"\""}, u"\"", false, 0},
    };
    for (const Case& c : cases) {
        CommandLine info;
        info.ParseArguments(c.arguments);
        EXPECT_EQ(info.firstParameter, c.first) << "case " << (&c - cases);
        EXPECT_EQ(info.firstParameterIsFlag, c.flag) << "case " << (&c - cases);
        EXPECT_EQ(info.parameterIndex, c.index) << "case " << (&c - cases);
    }
}

}  // namespace
}  // namespace nerolin::test
