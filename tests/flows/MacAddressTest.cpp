#include <gtest/gtest.h>

#include <vector>

#include "image/IdentityPatch.h"
#include "session/MacAddress.h"
#include "session/SessionPayloads.h"

namespace imgdl {
namespace {

TEST(MacAddress, HexDigits) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    for (char c : {'g', 'G', ' ', ':', '\0', '/', '@', static_cast<char>(0xB0)}) {
        EXPECT_EQ(HexDigitValue(c), -1) << int(c);
        EXPECT_FALSE(IsHexDigit(c)) << int(c);
    }
}

TEST(MacAddress, ParseHexWeighsEveryCharacter) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"", 0},          {"0012AB", 0x12AB}, {"ffffffff", -1}, {"123456789", -1},  // longer than 8
        {"1G", 0x10 - 1},  // a non-digit subtracts its weight
        {"G0", -16},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseHex(c.text), c.value) << c.text;
}

TEST(MacAddress, ParseIncrementAndFormat) {
    const struct {
        const char* text;
        const char* next;
    } cases[] = {
        {"0012ab3456cd", "0012AB3456CE"}, {"0012ABFFFFFF", "0012AC000000"},
        {"FFFFFFFFFFFF", "000000000000"}, {"000000000000", "000000000001"},
        {"12AB", "0012AB000001"},  // no seventh character: low is 0
    };
    for (const auto& c : cases) {
        MacAddress mac = ParseMacAddress(c.text);
        IncrementMacAddress(mac);
        EXPECT_EQ(FormatMacAddress(mac), c.next) << c.text;
    }
    const MacAddress mac = ParseMacAddress("0012AB3456CD");
    EXPECT_EQ(mac.high, 0x0012ABu);
    EXPECT_EQ(mac.low, 0x3456CDu);
    const std::array<std::uint8_t, 8> wire = {0x00, 0x00, 0x12, 0xAB, 0x00, 0x34, 0x56, 0xCD};
    EXPECT_EQ(EncodeMacPayload(mac), wire);
}

TEST(MacAddress, OnlyTwelveHexDigitsAreValid) {
    EXPECT_TRUE(IsValidMacText("0012ab3456cd"));
    for (const char* text : {"0012AB3456C", "0012AB 456CD", "0012AB:456CD", "", "0012AB3456CDE"})
        EXPECT_FALSE(IsValidMacText(text)) << text;
}

TEST(IdentityPatch, WritesOnlyTheIdentityWords) {
    std::vector<std::uint8_t> image(65420, 0x77);
    PatchMacAddress(image, ParseMacAddress("0012AB3456CD"));
    PatchSerialNumber(image, 1000);
    const std::vector<std::uint8_t> identity = {0xAB, 0x12, 0x00, 0x00, 0xCD, 0x56,
                                                0x34, 0x00, 0x00, 0x00, 0x03, 0xE8};
    EXPECT_TRUE(std::equal(identity.begin(), identity.end(), image.begin() + 0xFF80));
    EXPECT_EQ(std::count(image.begin(), image.end(), 0x77), 65420 - 12);
    // Read back from the same places (as imgdl's log does).
    EXPECT_EQ(FormatMacAddress(PatchedMacAddress(image)), "0012AB3456CD");
    EXPECT_EQ(PatchedSerialNumber(image), 1000u);
}

}  // namespace
}  // namespace imgdl
