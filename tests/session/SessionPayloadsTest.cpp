// The small session payloads: what the flows encode is what imgdl's log and the
// simulator decode, and every description shows a MAC the same way.
#include <gtest/gtest.h>

#include <vector>

#include "RecorderSimulator.h"
#include "session/DownloadProtocol.h"
#include "session/SessionPayloads.h"

namespace imgdl::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes ToBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

TEST(SessionPayloads, EncodedAsTheRecorderReadsThem) {
    const MacAddress mac{0x0012AB, 0x3456CD};
    EXPECT_EQ(ToBytes(EncodeVersionPayload(0x01020300)), (Bytes{0x00, 0x03, 0x02, 0x01}));
    EXPECT_EQ(ToBytes(EncodeMacPayload(mac)),
              (Bytes{0x00, 0x00, 0x12, 0xAB, 0x00, 0x34, 0x56, 0xCD}));
    EXPECT_EQ(ToBytes(EncodeSerialPayload(1000)), (Bytes{0xE8, 0x03, 0x00, 0x00}));
    EXPECT_EQ(ToBytes(EncodeMacAndSerialPayload(mac, 1000)),
              (Bytes{0x00, 0x00, 0x12, 0xAB, 0x00, 0x34, 0x56, 0xCD, 0xE8, 0x03, 0x00, 0x00}));
}

TEST(SessionPayloads, DecodeGivesBackWhatWasEncoded) {
    const MacAddress mac{0xABCDEF, 0x123456};
    const auto both = EncodeMacAndSerialPayload(mac, 77);
    const SessionPayloadFields f = DecodeSessionPayload(CMD_MAC_AND_SERIAL, both);
    ASSERT_TRUE(f.mac && f.serial);
    EXPECT_EQ(f.mac->high, mac.high);
    EXPECT_EQ(f.mac->low, mac.low);
    EXPECT_EQ(*f.serial, 77u);
    EXPECT_FALSE(f.version);
    EXPECT_EQ(*DecodeSessionPayload(CMD_FIRMWARE_VERSION, EncodeVersionPayload(0x0A0B0C00)).version,
              0x0A0B0C00u);
    EXPECT_EQ(FormatVersion(0x0A0B0C00), "10.11.12");
    // A payload too short for its words gives none of them; an image gives nothing.
    const Bytes cut(both.begin(), both.begin() + 6);
    EXPECT_FALSE(DecodeSessionPayload(CMD_MAC_AND_SERIAL, cut).mac);
    EXPECT_FALSE(DecodeSessionPayload(CMD_MAC_AND_SERIAL, cut).serial);
    EXPECT_FALSE(DecodeSessionPayload(CMD_APPLICATION_IMAGE, both).mac);
}

// A MAC word with bits above its six hex digits is shown as the flows' text shows it.
TEST(SessionPayloads, TheSimulatorDescribesTheMacAsTheFlowsWriteIt) {
    sim::RecordedSession s;
    s.command = CMD_MAC_ADDRESS;
    s.payload = {0xFF, 0x00, 0x12, 0xAB, 0x01, 0x34, 0x56, 0xCD};
    s.length = static_cast<std::uint32_t>(s.payload.size());
    s.ending = "done";
    EXPECT_EQ(sim::DescribeSession(s),
              "CMD_MAC_ADDRESS length=8 mac=0012AB3456CD answers=none ending=done");
}

}  // namespace
}  // namespace imgdl::test
