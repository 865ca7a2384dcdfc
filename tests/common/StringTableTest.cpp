#include "common/StringIds.h"
#include "common/StringTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace nerolin::test {
namespace {

std::string ReadSourceFile(const std::string& relative)
{
    std::ifstream in(std::string(NEROLIN_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The ids of the data file in line order, as a reviewer reads them: the
// number that starts each line that is neither blank nor a comment.
std::vector<int> IdsOfDataFile()
{
    std::istringstream data(ReadSourceFile("res/strings.tsv"));
    std::vector<int> ids;
    std::string line;
    int lineNumber = 0;
    while (std::getline(data, line)) {
        ++lineNumber;
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        std::size_t used = 0;
        int id = -1;
        try {
            id = std::stoi(line.substr(first), &used);
        } catch (const std::exception&) {
        }
        EXPECT_GE(id, 0) << "line " << lineNumber << " has no id: " << line;
        if (id >= 0) ids.push_back(id);
    }
    return ids;
}

// The printf conversions of a text, in order ("%%" included, so that a
// literal percent sign in one language only is caught as well). A scanner
// rather than std::regex: GCC 12 warns inside <regex> under the sanitizers.
std::vector<std::string> Placeholders(const std::string& text)
{
    std::vector<std::string> found;
    for (std::size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i)) {
        const std::size_t end = text.find_first_not_of("-+ #0123456789.hlz", i + 1);
        if (end == std::string::npos) {
            found.push_back(text.substr(i));
            break;
        }
        found.push_back(text.substr(i, end - i + 1));
        i = end + 1;
    }
    return found;
}

TEST(StringTable, TextsInBothLanguages)
{
    struct Case {
        int id;
        const char* english;
        const char* hungarian;
    };
    const Case cases[] = {
        {110, "Invalid URI!", "Érvénytelen URI!"},
        {101, "&About Nerolin...", "&Névjegy - Nerolin..."},
        // The service's texts are kept exactly as the service's users know them.
        {114, "Error occured during the opertation!", "Hiba történt a művelet közben!"},
        {116, "Message: %s", "Üzenet: %s"},
        {136, "The signing session is finished!", "Az aláírói munkamenet befejeződött!"},
        {146, "Failed to download the list of the allowed proxy servers!",
         "Az engedélyezett közvetítő szerverek listájának letöltése sikertelen volt!"},
        {148, "The PIN code is locked.", "A PIN kód zárolva van."},
        // Captions carry their mnemonic.
        {strings::kMainAutoCloseCheckBox, "&Automatically close application when process finished",
         "&Automatikus kilépés az alkalmazásból a folyamat befejeztével"},
        {strings::kPinTitle, "Nerolin PIN", "Nerolin PIN"},
        {strings::kAboutVersionText, "Nerolin, Version %s", "Nerolin, Verzió %s"},
        // The trailing blank is part of the label.
        {strings::kProxyUrlLabel, "Proxy &URL: ", "Proxy &URL: "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadString(c.id, Language::English), c.english) << c.id;
        EXPECT_EQ(LoadString(c.id, Language::Hungarian), c.hungarian) << c.id;
    }
}

TEST(StringTable, UnknownIdGivesEmptyText)
{
    // 130 and 141 are gaps between defined ids; the others lie outside.
    for (int id : {0, -1, 130, 141, 149, 9999, 10099, 2147483647}) {
        EXPECT_EQ(LoadString(id, Language::English), "") << id;
        EXPECT_EQ(LoadString(id, Language::Hungarian), "") << id;
    }
}

// Every line of the data file must have reached the compiled table: an id
// whose line the table could not read has no text, and a text whose
// placeholders differ between the languages would misformat or crash in
// FormatText in one language only.
TEST(StringTable, EveryIdHasBothLanguagesWithTheSamePlaceholders)
{
    const std::vector<int> ids = IdsOfDataFile();
    ASSERT_GT(ids.size(), 60u);
    std::set<int> seen;
    for (int id : ids) {
        EXPECT_TRUE(seen.insert(id).second) << "id " << id << " appears twice";
        const std::string english = LoadString(id, Language::English);
        const std::string hungarian = LoadString(id, Language::Hungarian);
        EXPECT_FALSE(english.empty()) << id;
        EXPECT_FALSE(hungarian.empty()) << id;
        EXPECT_EQ(Placeholders(english), Placeholders(hungarian)) << id;
    }
}

TEST(StringTable, EveryNamedIdHasText)
{
    const std::string header = ReadSourceFile("common/StringIds.h");
    const std::string marker = "constexpr int ";
    int count = 0;
    for (std::size_t at = header.find(marker); at != std::string::npos; at = header.find(marker, at + 1), ++count) {
        std::istringstream declaration(header.substr(at + marker.size(), 200));
        std::string name, equals;
        int id = -1;
        declaration >> name >> equals >> id;
        EXPECT_EQ(equals, "=") << name;
        EXPECT_FALSE(LoadString(id, Language::English).empty()) << name;
    }
    EXPECT_GT(count, 0) << "no named ids found in common/StringIds.h";
}

TEST(StringTable, FormatTextFillsPlaceholders)
{
    EXPECT_EQ(FormatText(LoadString(116, Language::Hungarian).c_str(), "Árvíztűrő tükörfúrógép"),
              "Üzenet: Árvíztűrő tükörfúrógép");
    EXPECT_EQ(FormatText("%s error: %d (0x%08X)", "open", -2, static_cast<unsigned>(-2)),
              "open error: -2 (0xFFFFFFFE)");
    EXPECT_EQ(FormatText("%s", ""), "");
    EXPECT_EQ(FormatText(nullptr), "");
    // Far beyond any fixed buffer: a server message is not bounded by the table.
    const std::string longMessage(200000, 'x');
    const std::string filled = FormatText("Message: %s", longMessage.c_str());
    EXPECT_EQ(filled.size(), 9 + longMessage.size());
    EXPECT_EQ(filled.substr(filled.size() - 3), "xxx");
}

}  // namespace
}  // namespace nerolin::test
