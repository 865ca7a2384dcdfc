#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "common/StringIds.h"
#include "common/StringTable.h"

namespace nerolin::test {
namespace {

// The language variables are the process's own; each case sets all four.
class UserInterfaceLanguageTest : public ::testing::Test {
protected:
    static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

    void SetUp() override
    {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        }
    }
    void TearDown() override
    {
        for (const auto& [name, value] : saved_) Set(name.c_str(), value ? value->c_str() : nullptr);
    }
    static void Set(const char* name, const char* value)
    {
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(UserInterfaceLanguageTest, FirstSetVariableDecides)
{
    struct Case {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        Language expected;
    };
    const Language en = Language::English;
    const Language hu = Language::Hungarian;
    const Case cases[] = {
        {nullptr, nullptr, nullptr, nullptr, en},
        {nullptr, nullptr, nullptr, "hu_HU.UTF-8", hu},
        {nullptr, nullptr, nullptr, "en_US.UTF-8", en},
        {nullptr, nullptr, nullptr, "C", en},
        {nullptr, nullptr, "hu_HU.UTF-8", "en_US.UTF-8", hu},
        {nullptr, "en_GB.UTF-8", "hu_HU.UTF-8", "hu_HU.UTF-8", en},
        {nullptr, "hu", nullptr, "en_US.UTF-8", hu},
        {"hu", "en_US.UTF-8", nullptr, nullptr, hu},
        {"en_US", nullptr, nullptr, "hu_HU.UTF-8", en},
        // LANGUAGE is a list: only its first language counts.
        {"hu:en", nullptr, nullptr, nullptr, hu},
        {"de:hu", nullptr, nullptr, "hu_HU.UTF-8", en},
        {":hu:en", nullptr, nullptr, nullptr, hu},
        // Set but empty is as if not set.
        {"", "", "", "hu_HU", hu},
        {":", nullptr, nullptr, "hu_HU", hu},
        {"", nullptr, "", "", en},
        // Only a name that starts with "hu" is Hungarian.
        {nullptr, nullptr, nullptr, "ahu_HU", en},
        {nullptr, nullptr, nullptr, "h", en},
    };
    for (const auto& c : cases) {
        Set("LANGUAGE", c.language);
        Set("LC_ALL", c.lcAll);
        Set("LC_MESSAGES", c.lcMessages);
        Set("LANG", c.lang);
        EXPECT_EQ(UserInterfaceLanguage(), c.expected)
            << "LANGUAGE=" << (c.language ? c.language : "(unset)") << " LC_ALL=" << (c.lcAll ? c.lcAll : "(unset)")
            << " LC_MESSAGES=" << (c.lcMessages ? c.lcMessages : "(unset)")
            << " LANG=" << (c.lang ? c.lang : "(unset)");
    }
}

TEST_F(UserInterfaceLanguageTest, LoadStringFollowsTheLanguage)
{
    Set("LANGUAGE", nullptr);
    Set("LC_ALL", nullptr);
    Set("LC_MESSAGES", "hu_HU.UTF-8");
    EXPECT_EQ(LoadString(strings::kCloseButton), "Be&zárás");
    Set("LC_MESSAGES", "en_US.UTF-8");
    EXPECT_EQ(LoadString(strings::kCloseButton), "&Close");
}

}  // namespace
}  // namespace nerolin::test
