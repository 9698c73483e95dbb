#include <vector>

#include "FlowTestSupport.h"

namespace imgdl::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class IdentityFlow : public FlowTest {
  protected:
    void choose(bool mac, bool serial, const char* macText = "0012AB3456CD",
                std::uint32_t serialNumber = 1000, bool autoIncrease = true) {
        auto& f = host.request;
        f.kind = DownloadKind::Identity;
        f.writeMac = mac;
        f.writeSerial = serial;
        f.macText = macText;
        f.serial = serialNumber;
        f.autoIncrease = autoIncrease;
    }
};

TEST_F(IdentityFlow, PayloadsOfEachFlow) {
    const struct {
        bool mac, serial;
        std::uint32_t command;
        Bytes payload;
    } cases[] = {
        {true, false, CMD_MAC_ADDRESS, {0x00, 0x00, 0x12, 0xAB, 0x00, 0x34, 0x56, 0xCD}},
        {false, true, CMD_SERIAL_NUMBER, {0xE8, 0x03, 0x00, 0x00}},
        {true,
         true,
         CMD_MAC_AND_SERIAL,
         {0x00, 0x00, 0x12, 0xAB, 0x00, 0x34, 0x56, 0xCD, 0xE8, 0x03, 0x00, 0x00}},
    };
    std::size_t count = 0;
    for (const auto& c : cases) {
        choose(c.mac, c.serial, "0012AB3456CD", 1000, false);
        download();
        const auto s = sessionsAfter(++count);
        ASSERT_EQ(s.size(), count);
        EXPECT_EQ(s.back().command, c.command);
        EXPECT_EQ(s.back().payload, c.payload);
        EXPECT_EQ(host.request.serial, 1000u);  // never advanced
    }
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(host.writes, 0);
}

TEST_F(IdentityFlow, NeitherBoxDoesNothing) {
    choose(false, false);
    download();
    EXPECT_TRUE(shown().empty());
    EXPECT_FALSE(recorder.waitForSessions(1, std::chrono::milliseconds(100)));
}

TEST_F(IdentityFlow, AutoIncreaseAdvancesAfterASuccessfulSessionOnly) {
    const struct {
        bool mac, serial;
        const char* text;
        bool recorderFails;
        const char* after;
    } cases[] = {
        {true, false, "0012ab3456cd", false, "0012AB3456CE"},
        {true, false, "0012ABFFFFFF", false, "0012AC000000"},
        {true, true, "FFFFFFFFFFFF", false, "000000000000"},
        {true, false, "0012AB3456CD", true, "0012AB3456CD"},
        {true, true, "0012AB3456CD", true, "0012AB3456CD"},
    };
    std::size_t count = 0;
    for (const auto& c : cases) {
        sim::RecorderBehaviour behaviour;
        if (c.recorderFails) behaviour.closeBefore = sim::Step::FirstAck;
        recorder.setBehaviour(behaviour);
        choose(c.mac, c.serial, c.text);
        download();
        sessionsAfter(++count);
        EXPECT_EQ(host.request.macText, c.after) << c.text;
        EXPECT_EQ(host.request.serial, 1000u);
    }
}

TEST_F(IdentityFlow, MalformedMacTextsAreRefusedBeforeSending) {
    for (const char* text : {"0012AB3456C", "0012AB 456CD", "0012AB:456CD", ""}) {
        for (const bool serial : {false, true}) {
            host.runner.messages.clear();
            choose(true, serial, text);
            download();
            EXPECT_EQ(shown(), std::vector<std::string>{Text(IDS_INVALID_MAC)}) << text;
            EXPECT_EQ(host.request.macText, text);
        }
    }
    EXPECT_FALSE(recorder.waitForSessions(1, std::chrono::milliseconds(100)));
}

}  // namespace
}  // namespace imgdl::test
