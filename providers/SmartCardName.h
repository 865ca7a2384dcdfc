#pragma once

// The name of the card in a reader, through pcsc-lite: the card's ATR from
// SCardStatus (SCardGetAttrib is not served by every driver) looked up in
// the card database.

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

// The names of every card type the ATR matches, run together; empty on any
// failure or when none matches.
std::string GetCardName(const std::string& reader);

}  // namespace nerolin
