#pragma once

// Which card a reader holds, by its ATR. pcsc-lite keeps no card names, so
// this program carries its own database of (name, ATR, mask) entries: the
// entries shipped with it, followed by those an administrator adds in the
// machine-wide settings, group [SmartCards], one text value each named
// Card1, Card2, ... (read until the first missing number):
//
//   Card1="3BFF1800FF8131FE55006B0209 FFFFFFFFFFFFFFFFFFFFFFFFFF Incard  TS2048"
//
// ATR and mask in hexadecimal, then the name: everything after the second
// blank, kept exactly (names may hold runs of blanks). Quote the value.

#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"

namespace nerolin {

struct CardType {
    std::string name;
    Bytes atr;
    Bytes mask;  // as long as atr; a clear bit is not compared
};

// An ATR matches an entry of the same length whose bits agree wherever the
// mask has a bit set.
bool AtrMatches(const CardType& card, const Bytes& atr);

// "ATR MASK NAME" as described above; false when malformed (odd or
// non-hex digits, lengths that differ, no name).
bool ParseCardType(std::string_view text, CardType& card);

// The shipped entries, then the machine-wide ones.
std::vector<CardType> CardDatabase();

// The names of every entry matching atr, in database order, run together
// with no separator; empty when none matches.
std::string CardNamesForAtr(const std::vector<CardType>& database, const Bytes& atr);

}  // namespace nerolin
