#include "providers/CardDatabase.h"

#include <optional>

#include "platform/Settings.h"

namespace nerolin {
namespace {

// The cards whose names decide an alternative provider. ATRs of a family
// differ in their version and serial bytes, which the masks leave out. An
// administrator adds other cards (or other ATRs of these) in the settings.
constexpr const char* kShippedCards[] = {
    "3BFF1800FF8131FE55006B0209000000000000000000000000 "
    "FFFFFFFFFFFFFFFFFFFFFFFFFF000000000000000000000000 Incard  TS2048",
    "3B7F96000080318065B0850300EF120FFF829000 "
    "FFFFFFFFFFFFFFFFFFFFFF0000FFFFFFFFFFFFFF IDPrime MD T=0",
};

std::optional<Bytes> ParseHex(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    Bytes bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

}  // namespace

bool AtrMatches(const CardType& card, const Bytes& atr)
{
    if (atr.size() != card.atr.size() || card.mask.size() != card.atr.size()) return false;
    for (std::size_t i = 0; i < atr.size(); ++i) {
        if ((atr[i] & card.mask[i]) != (card.atr[i] & card.mask[i])) return false;
    }
    return true;
}

bool ParseCardType(std::string_view text, CardType& card)
{
    const std::size_t first = text.find(' ');
    if (first == std::string_view::npos) return false;
    const std::size_t second = text.find(' ', first + 1);
    if (second == std::string_view::npos || second + 1 >= text.size()) return false;
    const std::optional<Bytes> atr = ParseHex(text.substr(0, first));
    const std::optional<Bytes> mask = ParseHex(text.substr(first + 1, second - first - 1));
    if (!atr || !mask || atr->size() != mask->size()) return false;
    card = {std::string(text.substr(second + 1)), *atr, *mask};
    return true;
}

std::vector<CardType> CardDatabase()
{
    std::vector<CardType> database;
    for (const char* text : kShippedCards) {
        CardType card;
        if (ParseCardType(text, card)) database.push_back(std::move(card));
    }
    for (const std::string& text : ReadMachineCardEntries()) {
        CardType card;
        if (ParseCardType(text, card)) database.push_back(std::move(card));
    }
    return database;
}

std::string CardNamesForAtr(const std::vector<CardType>& database, const Bytes& atr)
{
    std::string names;
    for (const CardType& card : database) {
        if (AtrMatches(card, atr)) names += card.name;
    }
    return names;
}

}  // namespace nerolin
