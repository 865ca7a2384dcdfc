// Check 6: whether the PC/SC service answers, each reader with its card's
// ATR and name from the card database, and the alternative provider the
// generic smart-card middlewares would hand that card to.
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "providers/AlternativeProviderChoice.h"
#include "providers/CardDatabase.h"
#include "providers/SmartCardName.h"
#include "tools/nerolin-tool/doctor/Checks.h"

namespace nerolin::tool::doctor {
namespace {

// The card-name table of the alternative choice; NSS signs when no row names the card.
std::string AlternativeFor(const std::string& cardName)
{
    const auto target = ResolveCardName({AlternativeTarget::Kind::ByCardName}, cardName);
    return target ? DescribeTarget(*target) : "NSS";
}

}  // namespace

CheckResult CheckCards()
{
    CheckResult check{"cards", strings::kDoctorCheckCards};
    // pcsc-lite answers at once when its socket is missing or dead.
    const auto readers = ListReaders();
    if (!readers) {
        check.Raise(Verdict::Warning);
        check.summary = LoadString(strings::kDoctorCardsNoService);
        return check;
    }
    const std::vector<CardType> database = CardDatabase();
    for (const std::string& reader : *readers) {
        const Bytes atr = ReadCardAtr(reader);
        if (atr.empty()) {
            check.Add("reader", reader, std::nullopt, LoadString(strings::kDoctorNoteNoCard));
            continue;
        }
        const std::string name = CardNamesForAtr(database, atr);
        check.Add("reader", reader + ": " + HexEncode(atr) + (name.empty() ? "" : " \"" + name + "\""), std::nullopt,
                  name.empty() ? LoadString(strings::kDoctorNoteUnknownCard) : std::string());
        check.Add("alternative", AlternativeFor(name));
    }
    check.summary = FormatText(LoadString(strings::kDoctorCardsOk).c_str(), static_cast<int>(readers->size()));
    return check;
}

}  // namespace nerolin::tool::doctor
