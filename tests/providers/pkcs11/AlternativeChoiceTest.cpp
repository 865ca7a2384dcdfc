// The choice of an alternative provider from the key's module name and the
// card's name, and the card database behind the card name.

#include <filesystem>
#include <fstream>

#include "platform/SettingsStore.h"
#include "providers/AlternativeProviderChoice.h"
#include "providers/CardDatabase.h"
#include "providers/SigningProviderPKCS11.h"
#include "providers/SigningProviderTvrKSP.h"
#include "providers/SmartCardName.h"
#include "tests/providers/pkcs11/Pkcs11Fixture.h"
#include "tests/support/MemorySettingsStore.h"

namespace nerolin::test {
namespace {

using AlternativeChoiceTest = Pkcs11Test;

const char kNone[] = "No alternative signing provider found; using NSS";

// What a choice gave: "module NAME", "key storage" or "none".
std::string Describe(const SigningProviderAlternative* provider)
{
    if (!provider) return "none";
    if (auto* pkcs11 = dynamic_cast<const SigningProviderPKCS11*>(provider)) return "module " + pkcs11->moduleName();
    if (dynamic_cast<const SigningProviderTvrKSP*>(provider)) return "key storage";
    return "other";
}

TEST_F(AlternativeChoiceTest, ProviderNamesLeadToTheirAlternative)
{
    struct Case {
        std::string providerName;
        std::string chosen;
        Entry entry;
    };
    const Case cases[] = {
        {"Tavorel Key Storage Provider", "key storage", {EntryType::Information, "Trying to use libTvrKSP.so"}},
        {"Bit4id Universal Middleware Provider",
         "module libbit4ipki.so",
         {EntryType::Information, "Trying to use PKCS#11 module: libbit4ipki.so"}},
        {"Bit4id Universal Middleware Provider AUTH",
         "module libbit4ipki_auth.so",
         {EntryType::Information, "Trying to use PKCS#11 module: libbit4ipki_auth.so"}},
        {"Bit4id Universal Middleware Provider DS",
         "module libbit4ipki_ds.so",
         {EntryType::Information, "Trying to use PKCS#11 module: libbit4ipki_ds.so"}},
        {"Gemalto Classic Card CSP",
         "module libgclib.so",
         {EntryType::Information, "Trying to use PKCS#11 module: libgclib.so"}},
        {"eToken Base Cryptographic Provider",
         "module " + PathRuleModule(),
         {EntryType::Information, "Trying to use PKCS#11 module: libIDPrimePKCS11.so"}},
        {"SafeNet Smart Card Key Storage Provider",
         "module " + PathRuleModule(),
         {EntryType::Information, "Trying to use PKCS#11 module: libIDPrimePKCS11.so"}},
        {"Oberthur Card Systems Cryptographic Provider",
         "module libOCSCryptoki.so",
         {EntryType::Information, "Trying to use PKCS#11 module: libOCSCryptoki.so"}},
        // Whole names, exact case.
        {"Bit4id Universal Middleware provider DS", "none", {EntryType::Warning, kNone}},
        {"Bit4id Universal Middleware Provider DS ", "none", {EntryType::Warning, kNone}},
        {"SoftHSM", "none", {EntryType::Warning, kNone}},
        {"", "none", {EntryType::Warning, kNone}},
    };
    for (const Case& c : cases) {
        EventCapture capture;
        bool readerAsked = false;
        auto chosen = ChooseAlternative(c.providerName, [&] {
            readerAsked = true;
            return std::string("reader");
        });
        EXPECT_EQ(Describe(chosen.get()), c.chosen) << c.providerName;
        EXPECT_EQ(capture.Entries(), std::vector<Entry>{c.entry}) << c.providerName;
        EXPECT_FALSE(readerAsked) << c.providerName;
    }
}

TEST_F(AlternativeChoiceTest, GenericSmartCardProviderWithoutPcscFindsNoCardName)
{
    // Main points pcsc-lite at a socket nobody listens on.
    for (const char* name :
         {"Microsoft Base Smart Card Crypto Provider", "Microsoft Smart Card Key Storage Provider"}) {
        EventCapture capture;
        auto chosen = ChooseAlternative(name, [] { return std::string("Virtual PCD 00 00"); });
        EXPECT_EQ(chosen, nullptr);
        EXPECT_EQ(capture.Entries(),
                  (std::vector<Entry>{{EntryType::Information, "Card name: "}, {EntryType::Warning, kNone}}));
    }
    EXPECT_TRUE(GetCardName("Virtual PCD 00 00").empty());
    EXPECT_TRUE(ReadCardAtr("").empty());
}

TEST_F(AlternativeChoiceTest, PathRuleUsesTheInstalledFileOnlyWhenItExists)
{
    const std::string installed = dir_.path() + "/libIDPrimePKCS11.so";
    EXPECT_EQ(PathRuleModule(installed), "libIDPrimePKCS11.so");
    std::ofstream(installed) << "";
    EXPECT_EQ(PathRuleModule(installed), installed);
}

TEST(CardDatabaseTest, MatchesAtrUnderMaskAndRunsSeveralNamesTogether)
{
    CardType incard;
    ASSERT_TRUE(ParseCardType("3BFF1800 FFFF00FF Incard  TS2048", incard));
    EXPECT_EQ(incard.name, "Incard  TS2048");  // the double blank is kept
    CardType other;
    ASSERT_TRUE(ParseCardType("3bff0000 ffff0000 Other Card", other));
    const std::vector<CardType> database{incard, other};

    EXPECT_EQ(CardNamesForAtr(database, {0x3B, 0xFF, 0x77, 0x00}), "Incard  TS2048Other Card");
    EXPECT_EQ(CardNamesForAtr(database, {0x3B, 0xFF, 0x77, 0x01}), "Other Card");
    EXPECT_EQ(CardNamesForAtr(database, {0x3B, 0xFF, 0x77}), "");        // another length
    EXPECT_EQ(CardNamesForAtr(database, {0x3B, 0xFE, 0x18, 0x00}), "");  // a masked-in bit differs

    for (const char* bad : {"", "3BFF", "3BFF FFFF", "3BFF FFFF ", "3BF FFF Name", "3BFF FF Name", "3BZZ FFFF Name"}) {
        CardType card;
        EXPECT_FALSE(ParseCardType(bad, card)) << bad;
    }
}

TEST(CardDatabaseTest, MachineSettingsAddCardsAfterTheShippedOnes)
{
    auto settings = InstallMemorySettingsStore();
    const std::pair<const char*, const char*> entries[] = {
        {"Card1", "3B0102 FFFFFF Test Card One"},
        {"Card2", "not a card"},
        {"Card3", "3B0102 FFFF00 Test  Card Three"},
        {"Card5", "3B0102 FFFFFF Unreached"},
    };
    for (const auto& [name, text] : entries) settings->Set(Scope::Machine, "SmartCards", name, std::string(text));
    const std::vector<CardType> database = CardDatabase();
    InstallSettingsStore(nullptr);

    std::vector<std::string> names;
    for (const CardType& card : database) names.push_back(card.name);
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(names.end() - 2, names.end()),
              (std::vector<std::string>{"Test Card One", "Test  Card Three"}));
    EXPECT_EQ(CardNamesForAtr(database, {0x3B, 0x01, 0x02}), "Test Card OneTest  Card Three");
    // The shipped entries include the cards the choice knows by name.
    EXPECT_NE(std::find(names.begin(), names.end(), "Incard  TS2048"), names.end());
}

}  // namespace
}  // namespace nerolin::test
