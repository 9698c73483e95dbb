// The list text "[%03d]%s", the number an entry carries beside it, and the two-digit
// hexadecimal fields of the editor.
#include <gtest/gtest.h>

#include <memory>

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

// An entry carries its protocol's number whatever its text looks like: more than three
// digits, a "]" in the name, a minus sign, a name that is itself a list text.
TEST(PtzListText, EntriesCarryTheirNumberBesideTheText) {
    const ListTextCase cases[] = {
        {7, "Dome", "[007]Dome"}, {5120, "Big", "[5120]Big"},         {123, "a]b", "[123]a]b"},
        {-5, "Neg", "[-05]Neg"},  {2147483647, "x", "[2147483647]x"}, {8, "[009]", "[008][009]"},
    };
    for (const ListTextCase& c : cases) {
        PtzProtocol protocol = PtzProtocol::MakeNew(c.number);
        protocol.SetName(c.name);
        const std::unique_ptr<QListWidgetItem> item = MakePtzListItem(protocol);
        EXPECT_EQ(item->text().toStdString(), c.text) << c.number;
        EXPECT_EQ(PtzListItemNumber(*item), c.number) << c.text;

        // Showing another protocol in the entry replaces both.
        SetPtzListItem(*item, PtzProtocol::MakeNew(42));
        EXPECT_EQ(item->text().toStdString(), "[042]New PTZ Protocol(42)");
        EXPECT_EQ(PtzListItemNumber(*item), 42);
    }
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
