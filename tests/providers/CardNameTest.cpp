// The name of a card by its ATR: what the system's smart-card service has
// registered, and the card database where it has nothing.

#include <gtest/gtest.h>

#include "providers/SmartCardName.h"

namespace nerolin::test {
namespace {

// An ATR of the card database's "Incard  TS2048" family (its serial bytes
// differ from the entry's, which the mask leaves out).
const Bytes kIncard{0x3B, 0xFF, 0x18, 0x00, 0xFF, 0x81, 0x31, 0xFE, 0x55, 0x00, 0x6B, 0x02, 0x09,
                    0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22, 0x33, 0x44};

TEST(CardNameTest, TheServicesNamesComeFirstAndTheDatabaseServesWhereItHasNone)
{
    const auto none = [](const Bytes&) { return std::string(); };
    const auto registered = [](const Bytes&) { return std::string("Card AOther Card"); };
    EXPECT_EQ(CardNameForAtr(kIncard, none), "Incard  TS2048");
    EXPECT_EQ(CardNameForAtr(kIncard, registered), "Card AOther Card");
    EXPECT_EQ(CardNameForAtr(kIncard, nullptr), "Incard  TS2048");
    EXPECT_EQ(CardNameForAtr(Bytes{0x3B, 0x00}, none), "");
    EXPECT_EQ(CardNameForAtr({}, registered), "") << "no card, no name";
}

TEST(CardNameTest, AReaderThatIsNotThereHasNoCardName)
{
    // Under Wine there is no reader at all: the service's card list (not
    // implemented there) is never reached.
    EXPECT_TRUE(ReadCardAtr("Nerolin No Such Reader 0").empty());
    EXPECT_EQ(GetCardName("Nerolin No Such Reader 0"), "");
}

}  // namespace
}  // namespace nerolin::test
