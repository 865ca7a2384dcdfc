#pragma once

// The name of the card in a reader, by its ATR: on Windows the card types
// registered with the smart-card service (SCardListCardsW) and, where it
// knows none, the card database; on Linux, whose pcsc-lite keeps no card
// names, the card database alone (the ATR from SCardStatus there, since
// SCardGetAttrib is not served by every driver).

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Text.h"

namespace nerolin {

// The readers PC/SC knows; nullopt when the service cannot be reached.
std::optional<std::vector<std::string>> ListReaders();

// The ATR of the card in reader; empty on any PC/SC failure (no service,
// no such reader, no card).
Bytes ReadCardAtr(const std::string& reader);

// The card types the system's smart-card service has registered for the
// ATR (SCardListCardsW on Windows), run together with no separator; always
// empty on Linux, whose pcsc-lite keeps no card names.
std::string RegisteredCardNames(const Bytes& atr);

// The names of the card types the ATR matches, run together with no
// separator: those registeredNames gives (RegisteredCardNames), and where
// it gives none, those of the card database. Empty for an empty ATR and
// when nothing matches.
std::string CardNameForAtr(const Bytes& atr, const std::function<std::string(const Bytes&)>& registeredNames);

// The names of the card in reader (a text in the thread's ANSI code page)
// as CardNameForAtr gives them; empty on any failure.
std::string GetCardName(const std::string& reader);

}  // namespace nerolin
