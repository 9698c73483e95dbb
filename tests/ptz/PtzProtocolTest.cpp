// The protocol record: its byte layout, the new-record rule, the name rules, the
// command names and the serial-setting list conversions.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

#include "PtzTestFiles.h"
#include "ptz/PtzProtocol.h"

namespace imgdl::test {
namespace {

TEST(PtzProtocolTest, NewRecordIsZeroExceptNumberAndName) {
    const PtzProtocol record = PtzProtocol::MakeNew(7);
    EXPECT_EQ(record.GetName(), "New PTZ Protocol(7)");
    Bytes expected(PtzProtocol::kSize, 0);
    expected[0] = 7;
    const std::string name = "New PTZ Protocol(7)";
    std::copy(name.begin(), name.end(), expected.begin() + 4);
    EXPECT_EQ(BytesOf(record), expected);
    EXPECT_EQ(kPtzParityTexts[ParityToPosition(record.parity)], "NONE");
    EXPECT_EQ(kPtzDataBitsTexts[DataBitsToPosition(record.dataBits)], "BYTE 5");
    EXPECT_EQ(kPtzStopBitsTexts[StopBitsToPosition(record.stopBits)], "STOP 1");
}

TEST(PtzProtocolTest, DefaultNameIsCutTo23CharactersAndLeavesTheLastByteZero) {
    const struct {
        std::int32_t number;
        const char* name;
    } cases[] = {
        {0, "New PTZ Protocol(0)"},           {99999, "New PTZ Protocol(99999)"},
        {100000, "New PTZ Protocol(100000"},  {INT_MAX, "New PTZ Protocol(214748"},
        {INT_MIN, "New PTZ Protocol(-21474"},
    };
    for (const auto& c : cases) {
        const Bytes bytes = BytesOf(PtzProtocol::MakeNew(c.number));
        EXPECT_EQ(PtzProtocol::MakeNew(c.number).GetName(), c.name) << c.number;
        EXPECT_EQ(bytes[27], 0) << c.number;
        EXPECT_EQ(bytes[28], 0) << c.number;
    }
}

TEST(PtzProtocolTest, SetNameKeepsAtMost23CharactersAndNeverTouchesThe24thByte) {
    PtzProtocol record;
    record.name.fill('#');
    record.SetName(std::string(30, 'N'));
    EXPECT_EQ(record.GetName(), std::string(23, 'N') + "#");  // no NUL: stops at byte 24
    EXPECT_EQ(record.name[23], '#');

    record.SetName("abc");
    EXPECT_EQ(record.GetName(), "abc");
    for (std::size_t i = 3; i < 23; ++i) EXPECT_EQ(record.name[i], '\0') << i;
    EXPECT_EQ(record.name[23], '#');

    record.SetName(std::string("ab\0cd", 5));
    EXPECT_EQ(record.GetName(), "ab");
    EXPECT_EQ(record.name[3], '\0');
}

TEST(PtzProtocolTest, FieldsLieAtTheirFileOffsetsLittleEndian) {
    PtzProtocol record;
    record.number = 0x01020304;
    record.parity = 0x11;
    record.dataBits = 0x12;
    record.stopBits = 0x13;
    record.reserved = 0x14;
    record.baudRate = 115200;
    record.commands[0].commandDelay = 0x21;
    record.commands[0].checksumMethod = 0x22;
    record.commands[35].enable = 0x31;
    record.commands[35].data[0] = 0x32;
    record.commands[35].data[31] = 0x33;
    record.commands[39].data[31] = 0x34;
    const Bytes bytes = BytesOf(record);
    const struct {
        std::size_t offset;
        std::uint8_t value;
    } expected[] = {
        {0, 0x04},  {1, 0x03},  {2, 0x02},    {3, 0x01},    {28, 0x11},   {29, 0x12},
        {30, 0x13}, {31, 0x14}, {32, 0x00},   {33, 0xC2},   {34, 0x01},   {35, 0x00},
        {43, 0x21}, {44, 0x22}, {1576, 0x31}, {1588, 0x32}, {1619, 0x33}, {1795, 0x34},
    };
    for (const auto& e : expected) EXPECT_EQ(bytes[e.offset], e.value) << "offset " << e.offset;
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), PtzProtocol::kSize - 16);
}

TEST(PtzProtocolTest, AnyBytesSurviveFromBytesAndToBytes) {
    std::mt19937 random(1796);
    Bytes bytes(PtzProtocol::kSize);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    const PtzProtocol record = PtzProtocol::FromBytes(
        std::span<const std::uint8_t, PtzProtocol::kSize>(bytes.data(), bytes.size()));
    EXPECT_EQ(BytesOf(record), bytes);
    EXPECT_EQ(record.reserved, bytes[31]);
    PtzProtocol copy = record;
    EXPECT_EQ(copy, record);
    copy.name[23] ^= 1;  // a byte after the name's end still makes a difference
    EXPECT_NE(copy, record);
}

TEST(PtzProtocolTest, ZeroFillClearsEveryByte) {
    PtzProtocol record = SampleProtocol(99);
    record.ZeroFill();
    EXPECT_EQ(BytesOf(record), Bytes(PtzProtocol::kSize, 0));
}

TEST(PtzProtocolTest, CommandNamesFollowTheIndex) {
    EXPECT_EQ(PtzCommandName(0), "PTZCMD_AUTO_FOCUS");
    EXPECT_EQ(PtzCommandName(4), "PTZCMD_IDDISPLAY");
    EXPECT_EQ(PtzCommandName(22), "PTZCMD_ZOOM_IN");
    EXPECT_EQ(PtzCommandName(35), "PTZCMD_STOP_2");
    EXPECT_EQ(PtzCommandName(36), "PTZCMD_RESERVED36");
    EXPECT_EQ(PtzCommandName(39), "PTZCMD_RESERVED39");
    EXPECT_EQ(PtzCommandName(-1), "");
    EXPECT_EQ(PtzCommandName(40), "");
    for (int k = 0; k < 36; k += 2)
        EXPECT_EQ(std::string(PtzCommandName(k)) + "_2", PtzCommandName(k + 1)) << k;
}

TEST(PtzProtocolTest, StoredSerialValuesMapToListPositions) {
    const struct {
        std::uint8_t stored;
        int parity, dataBits, stopBits;
    } cases[] = {
        {0, 0, 0, 0}, {1, 1, 1, 1}, {2, 0, 2, 0}, {3, 2, 3, 0}, {4, 0, 0, 0}, {200, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParityToPosition(c.stored), c.parity) << int(c.stored);
        EXPECT_EQ(DataBitsToPosition(c.stored), c.dataBits) << int(c.stored);
        EXPECT_EQ(StopBitsToPosition(c.stored), c.stopBits) << int(c.stored);
    }
    EXPECT_EQ(EnableToPosition(1), 1);
    EXPECT_EQ(EnableToPosition(7), 7);  // above 1: the list shows no selection
}

TEST(PtzProtocolTest, ListPositionsMapToStoredValues) {
    EXPECT_EQ(ParityFromPosition(0), 0);
    EXPECT_EQ(ParityFromPosition(1), 1);
    EXPECT_EQ(ParityFromPosition(2), 3);
    EXPECT_EQ(DataBitsFromPosition(3), 3);
    EXPECT_EQ(StopBitsFromPosition(1), 1);
    EXPECT_EQ(EnableFromPosition(1), 1);
    EXPECT_EQ(EnableFromPosition(-1), 255);  // no selection
    // A parity byte outside the list passes through the editor as "NONE"; 3 stays 3.
    EXPECT_EQ(ParityFromPosition(ParityToPosition(2)), 0);
    EXPECT_EQ(ParityFromPosition(ParityToPosition(200)), 0);
    EXPECT_EQ(ParityFromPosition(ParityToPosition(3)), 3);
}

}  // namespace
}  // namespace imgdl::test
