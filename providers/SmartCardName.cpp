#include "providers/SmartCardName.h"

#include "providers/CardDatabase.h"

namespace nerolin {

std::string CardNameForAtr(const Bytes& atr, const std::function<std::string(const Bytes&)>& registeredNames)
{
    if (atr.empty()) return {};
    // The system knows the cards whose makers registered them; the database
    // serves those it has no answer for.
    std::string names = registeredNames ? registeredNames(atr) : std::string();
    if (!names.empty()) return names;
    return CardNamesForAtr(CardDatabase(), atr);
}

std::string GetCardName(const std::string& reader) { return CardNameForAtr(ReadCardAtr(reader), RegisteredCardNames); }

}  // namespace nerolin
