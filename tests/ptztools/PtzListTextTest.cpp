// The list text "[%03d]%s", the number parsed back from it, and the two-digit
// hexadecimal fields of the editor.
#include <gtest/gtest.h>

#include <optional>

#include "ptztools/HexByteField.h"
#include "ptztools/PtzListText.h"

namespace imgdl {
namespace {

struct ListTextCase {
    std::int32_t number;
    const char* name;
    const char* text;
};

TEST(PtzListText, ShowsNumberPaddedToThreeDigitsThenName) {
    const ListTextCase cases[] = {
        {7, "Dome", "[007]Dome"},   {12, "Dome", "[012]Dome"}, {0, "", "[000]"},
        {5120, "Big", "[5120]Big"}, {-5, "Neg", "[-05]Neg"},   {123, "a]b", "[123]a]b"},
    };
    for (const ListTextCase& c : cases) {
        PtzProtocol protocol = PtzProtocol::MakeNew(c.number);
        protocol.SetName(c.name);
        EXPECT_EQ(PtzListText(protocol).toStdString(), c.text) << c.number;
    }
}

TEST(PtzListText, ParsesTheDigitsUpToTheFirstBracket) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"[007]Dome", 7},
        {"[5120]Big", 5120},
        {"[12345]x", 12345},
        {"[012]a]b", 12},
        {"[2147483647]x", 2147483647},
        // No usable number: a minus sign, nothing between the brackets, no brackets,
        // a value beyond 32 bits.
        {"[-05]Neg", std::nullopt},
        {"[]x", std::nullopt},
        {"007]x", std::nullopt},
        {"[007x", std::nullopt},
        {"[2147483648]x", std::nullopt},
    };
    for (const auto& [text, number] : cases)
        EXPECT_EQ(ParsePtzListNumber(QString::fromLatin1(text)), number) << text;
}

TEST(PtzListText, NameBytesRoundTripAsEightBitCharacters) {
    PtzProtocol protocol;
    protocol.SetName("\xC4hre\xFF");
    EXPECT_EQ(PtzNameBytes(PtzNameText(protocol)), "\xC4hre\xFF");
}

TEST(HexByteField, ReadsTextByTheHexRule) {
    const std::pair<const char*, int> cases[] = {
        {"", 0},   {"7", 7},   {"07", 7}, {"1F", 31}, {"FF", 255},
        {"G1", 1}, {"1G", 16}, {"zz", 0}, {"a", 0},   {"F", 15},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ParseHexByte(QString::fromLatin1(text)), value) << text;
}

TEST(HexByteField, ShowsTwoCapitalDigits) {
    EXPECT_EQ(FormatHexByte(0).toStdString(), "00");
    EXPECT_EQ(FormatHexByte(0x0A).toStdString(), "0A");
    EXPECT_EQ(FormatHexByte(0xFE).toStdString(), "FE");
}

}  // namespace
}  // namespace imgdl
