// The choice of an alternative provider from what the system knows of the
// key's token (administrator's rules, provider name, module library, card
// name), and the card database behind the card name.

#include <filesystem>
#include <fstream>

#include "platform/SettingsStore.h"
#include "providers/AlternativeProviderChoice.h"
#include "providers/AlternativeProviderChoiceModules.h"
#include "providers/AlternativeProviderChoiceRules.h"
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

// The entry that states the facts when no provider name decided.
Entry Facts(const std::string& library, const std::string& manufacturer = {}, const std::string& model = {})
{
    return {EntryType::Information, "Key module library: \"" + library + "\", token manufacturer: \"" + manufacturer +
                                        "\", model: \"" + model + "\""};
}

Entry Trying(const std::string& module) { return {EntryType::Information, "Trying to use PKCS#11 module: " + module}; }

struct ChoiceCase {
    KeyHolder holder;
    std::string chosen;
    std::vector<Entry> entries;
};

// Runs each case with a reader that must not be asked.
void ExpectChoices(const std::vector<ChoiceCase>& cases)
{
    for (const ChoiceCase& c : cases) {
        const std::string trace = c.holder.providerName + " | " + c.holder.moduleLibrary + " | " +
                                  c.holder.tokenManufacturer + " | " + c.holder.tokenModel;
        EventCapture capture;
        bool readerAsked = false;
        KeyHolder holder = c.holder;
        holder.smartCardReader = [&] {
            readerAsked = true;
            return std::string("reader");
        };
        auto chosen = ChooseAlternative(holder);
        EXPECT_EQ(Describe(chosen.get()), c.chosen) << trace;
        EXPECT_EQ(capture.Entries(), c.entries) << trace;
        EXPECT_FALSE(readerAsked) << trace;
    }
}

TEST_F(AlternativeChoiceTest, ProviderNamesLeadToTheirAlternative)
{
    const Entry none{EntryType::Warning, kNone};
    ExpectChoices({
        {{"Tavorel Key Storage Provider"}, "key storage", {{EntryType::Information, "Trying to use libTvrKSP.so"}}},
        {{"Bit4id Universal Middleware Provider"}, "module libbit4ipki.so", {Trying("libbit4ipki.so")}},
        {{"Bit4id Universal Middleware Provider AUTH"}, "module libbit4ipki_auth.so", {Trying("libbit4ipki_auth.so")}},
        {{"Bit4id Universal Middleware Provider DS"}, "module libbit4ipki_ds.so", {Trying("libbit4ipki_ds.so")}},
        {{"Gemalto Classic Card CSP"}, "module libgclib.so", {Trying("libgclib.so")}},
        {{"eToken Base Cryptographic Provider"}, "module " + IDPrimeModule(), {Trying("libIDPrimePKCS11.so")}},
        {{"SafeNet Smart Card Key Storage Provider"}, "module " + IDPrimeModule(), {Trying("libIDPrimePKCS11.so")}},
        {{"Oberthur Card Systems Cryptographic Provider"}, "module libOCSCryptoki.so", {Trying("libOCSCryptoki.so")}},
        // The provider name decides before the library: a module registered
        // under a maker's name keeps its row.
        {{"Gemalto Classic Card CSP", "/usr/lib/libbit4ipki.so"}, "module libgclib.so", {Trying("libgclib.so")}},
        // Whole names, exact case.
        {{"Bit4id Universal Middleware provider DS"}, "none", {none}},
        {{"Bit4id Universal Middleware Provider DS "}, "none", {none}},
        {{"SoftHSM"}, "none", {none}},
        {{""}, "none", {none}},
    });
}

TEST_F(AlternativeChoiceTest, ModuleLibrariesLeadToTheirMakersModule)
{
    const Entry none{EntryType::Warning, kNone};
    const std::string bit4id = "/usr/lib/x86_64-linux-gnu/libbit4ipki_ds.so";
    ExpectChoices({
        // A neutral name in the database: the library's file name decides,
        // wherever it lies.
        {{"Card Module", bit4id}, "module libbit4ipki_ds.so", {Facts(bit4id), Trying("libbit4ipki_ds.so")}},
        {{"Firma", "libgclib.so", "Gemalto", "Classic"},
         "module libgclib.so",
         {Facts("libgclib.so", "Gemalto", "Classic"), Trying("libgclib.so")}},
        {{"IDPrime", "/opt/idgo/libIDPrimePKCS11.so"},
         "module " + IDPrimeModule(),
         {Facts("/opt/idgo/libIDPrimePKCS11.so"), Trying("libIDPrimePKCS11.so")}},
        {{"Oberthur", "/usr/local/lib/libOCSCryptoki.so"},
         "module libOCSCryptoki.so",
         {Facts("/usr/local/lib/libOCSCryptoki.so"), Trying("libOCSCryptoki.so")}},
        // The whole file name, exact case; a directory of that name is not a file.
        {{"Card Module", "/usr/lib/LIBGCLIB.SO"}, "none", {Facts("/usr/lib/LIBGCLIB.SO"), none}},
        {{"Card Module", "/usr/lib/libgclib.so.2"}, "none", {Facts("/usr/lib/libgclib.so.2"), none}},
        {{"Card Module", "/usr/lib/libgclib.so/x.so"}, "none", {Facts("/usr/lib/libgclib.so/x.so"), none}},
        {{"SoftHSM", NEROLIN_SOFTHSM_MODULE, "SoftHSM project", "SoftHSM v2"},
         "none",
         {Facts(NEROLIN_SOFTHSM_MODULE, "SoftHSM project", "SoftHSM v2"), none}},
    });
}

TEST_F(AlternativeChoiceTest, GenericSmartCardMiddlewaresWithoutPcscFindNoCardName)
{
    // Main points pcsc-lite at a socket nobody listens on.
    const std::vector<KeyHolder> holders = {
        {"Microsoft Base Smart Card Crypto Provider"},
        {"Microsoft Smart Card Key Storage Provider"},
        {"OpenSC smartcard framework", "/usr/lib/x86_64-linux-gnu/opensc-pkcs11.so"},
        {"p11-kit-proxy", "p11-kit-proxy.so"},
    };
    for (KeyHolder holder : holders) {
        EventCapture capture;
        holder.smartCardReader = [] { return std::string("Virtual PCD 00 00"); };
        auto chosen = ChooseAlternative(holder);
        EXPECT_EQ(chosen, nullptr);
        std::vector<Entry> expected{{EntryType::Information, "Card name: "}, {EntryType::Warning, kNone}};
        if (!holder.moduleLibrary.empty()) expected.insert(expected.begin(), Facts(holder.moduleLibrary));
        EXPECT_EQ(capture.Entries(), expected) << holder.providerName;
    }
    EXPECT_TRUE(GetCardName("Virtual PCD 00 00").empty());
    EXPECT_TRUE(ReadCardAtr("").empty());
}

TEST_F(AlternativeChoiceTest, CardNamesResolveThroughTheCardTable)
{
    const AlternativeTarget byCard{AlternativeTarget::Kind::ByCardName};
    EXPECT_EQ(DescribeTarget(*ResolveCardName(byCard, "Incard  TS2048")), "PKCS#11 libbit4ipki.so");
    EXPECT_EQ(DescribeTarget(*ResolveCardName(byCard, "Classic TPC")), "PKCS#11 libgclib.so");
    EXPECT_EQ(DescribeTarget(*ResolveCardName(byCard, "IDPrime MD T=0")), "PKCS#11 " + IDPrimeModule());
    // One blank where the table has two; two names run together.
    EXPECT_FALSE(ResolveCardName(byCard, "Incard TS2048"));
    EXPECT_FALSE(ResolveCardName(byCard, "Incard  TS2048Classic TPC"));
}

TEST_F(AlternativeChoiceTest, IDPrimeModuleUsesTheInstalledFileOnlyWhenItExists)
{
    const std::string installed = dir_.path() + "/libIDPrimePKCS11.so";
    EXPECT_EQ(IDPrimeModule(installed), "libIDPrimePKCS11.so");
    std::ofstream(installed) << "";
    EXPECT_EQ(IDPrimeModule(installed), installed);
}

TEST(AlternativeRuleTest, ParsesFactsAndTheModuleToUse)
{
    const auto rule = ParseAlternativeRule(" manufacturer = Example Cards  Ltd ;model=EC-2;; use=/opt/ex/libex.so ");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->manufacturer, "Example Cards  Ltd");  // inner blanks are kept
    EXPECT_EQ(rule->model, "EC-2");
    EXPECT_FALSE(rule->module || rule->provider || rule->card);
    EXPECT_EQ(DescribeTarget(rule->target), "PKCS#11 /opt/ex/libex.so");
    EXPECT_EQ(DescribeTarget(ParseAlternativeRule("card=Classic TPC;use=key-storage")->target), "libTvrKSP.so");

    const std::pair<const char*, const char*> bad[] = {
        {"", "no use"},
        {"use=libx.so", "no fact to compare"},
        {"module=liba.so", "no use"},
        {"module=liba.so;use=", "no value for use"},
        {"module=liba.so;use=libx.so;use=liby.so", "use given twice"},
        {"module=liba.so;module=libb.so;use=libx.so", "module given twice"},
        {"vendor=Acme;use=libx.so", "unknown part vendor"},
        {"Module=liba.so;use=libx.so", "unknown part Module"},
        {"module liba.so;use=libx.so", "no \"=\" in \"module liba.so\""},
    };
    for (const auto& [text, reason] : bad) {
        std::string why;
        EXPECT_FALSE(ParseAlternativeRule(text, &why)) << text;
        EXPECT_EQ(why, reason) << text;
    }
}

TEST_F(AlternativeChoiceTest, RulesOfTheMachineSettingsComeFirstAndNeedEveryFact)
{
    auto settings = InstallMemorySettingsStore();
    const std::pair<const char*, const char*> rules[] = {
        {"Rule1", "manufacturer=SoftHSM project; model=SoftHSM v1; use=libwrong.so"},
        {"Rule2", "model=SoftHSM v2; manufacturer=SoftHSM project; use=libbit4ipki_ds.so"},
        {"Rule3", "vendor=nobody; use=libx.so"},
        {"Rule4", "module=libgclib.so; use=key-storage"},
        {"Rule5", "module=/opt/gc/libgclib.so; use=/opt/gc/libgc-batch.so"},
        {"Rule7", "provider=Unreached; use=libx.so"},
    };
    for (const auto& [name, text] : rules)
        settings->Set(Scope::Machine, "AlternativeProviders", name, std::string(text));

    // Every rule is read before the first is compared.
    const Entry ignored{EntryType::Warning, "AlternativeProviders/Rule3 ignored: unknown part vendor"};
    auto by = [](const char* rule) {
        return Entry{EntryType::Information,
                     std::string("Alternative signing provider by AlternativeProviders/") + rule};
    };
    ExpectChoices({
        {{"SoftHSM", NEROLIN_SOFTHSM_MODULE, "SoftHSM project", "SoftHSM v2"},
         "module libbit4ipki_ds.so",
         {ignored, by("Rule2"), Trying("libbit4ipki_ds.so")}},
        // A rule beats the library's row, and a whole path matches only itself.
        {{"Card", "/usr/lib/libgclib.so"},
         "key storage",
         {ignored, by("Rule4"), {EntryType::Information, "Trying to use libTvrKSP.so"}}},
        {{"Card", "/opt/gc/libgclib.so"},
         "key storage",
         {ignored, by("Rule4"), {EntryType::Information, "Trying to use libTvrKSP.so"}}},
        // Rule6 is missing: Rule7 is never read. The CSP name comes next.
        {{"Gemalto Classic Card CSP", "libother.so"}, "module libgclib.so", {ignored, Trying("libgclib.so")}},
        {{"Unreached"}, "none", {ignored, {EntryType::Warning, kNone}}},
    });
    InstallSettingsStore(nullptr);
}

TEST_F(AlternativeChoiceTest, RuleOnTheCardNameReadsTheCardOnce)
{
    auto settings = InstallMemorySettingsStore();
    settings->Set(Scope::Machine, "AlternativeProviders", "Rule1", std::string("card=Some Card; use=libx.so"));
    settings->Set(Scope::Machine, "AlternativeProviders", "Rule2", std::string("card=; use=liby.so"));
    EventCapture capture;
    int asked = 0;
    KeyHolder holder{"OpenSC", "opensc-pkcs11.so"};
    holder.smartCardReader = [&] {
        ++asked;
        return std::string("Virtual PCD 00 00");
    };
    EXPECT_EQ(ChooseAlternative(holder), nullptr);
    InstallSettingsStore(nullptr);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(capture.Entries(),
              (std::vector<Entry>{{EntryType::Warning, "AlternativeProviders/Rule2 ignored: no value for card"},
                                  {EntryType::Information, "Card name: "},
                                  Facts("opensc-pkcs11.so"),
                                  {EntryType::Warning, kNone}}));
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
