#include <algorithm>
#include <filesystem>
#include <vector>

#include "FlowTestSupport.h"
#include "image/ImageLayout.h"

namespace imgdl::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class IntegratedFlow : public FlowTest {
  protected:
    IntegratedFlow() {
        testimage::IntegratedOptions options;
        options.macHigh = 0x111111;
        options.macLow = 0x222222;
        options.serial = 77;
        original = testimage::BuildIntegratedImage(options);
        // Identity bytes unlike any patched value, so every patched byte shows.
        std::fill(original.begin() + 0xFF80, original.begin() + 0xFF8C, std::uint8_t{0xEE});
        auto& f = host.request;
        f.kind = DownloadKind::Integrated;
        f.imagePath = write("integrated.bin", original);
        f.macText = "0012AB3456CD";
        f.serial = 1000;
        f.writeMac = f.writeSerial = true;  // as the dialog starts
        f.autoIncrease = true;
    }
    // The bytes of the image session, and what differs from the operator's file.
    std::vector<std::size_t> differences(const Bytes& sent) const {
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < sent.size() && i < original.size(); ++i)
            if (sent[i] != original[i]) at.push_back(i);
        return at;
    }
    static std::vector<std::size_t> Range(std::size_t from, std::size_t to) {
        std::vector<std::size_t> r;
        for (std::size_t i = from; i < to; ++i) r.push_back(i);
        return r;
    }
    Bytes original;
};

TEST_F(IntegratedFlow, PatchesOnlyTheIdentityOfACopy) {
    download();
    const auto s = sessionsAfter(2);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].command, CMD_FIRMWARE_VERSION);
    EXPECT_EQ(s[0].payload, (Bytes{0x00, 0x03, 0x02, 0x01}));
    EXPECT_EQ(s[1].command, CMD_INTEGRATED_IMAGE);
    ASSERT_EQ(s[1].payload.size(), original.size());
    const Bytes identity(s[1].payload.begin() + 0xFF80, s[1].payload.begin() + 0xFF8C);
    EXPECT_EQ(identity,
              (Bytes{0xAB, 0x12, 0x00, 0x00, 0xCD, 0x56, 0x34, 0x00, 0x00, 0x00, 0x03, 0xE8}));
    EXPECT_EQ(differences(s[1].payload), Range(0xFF80, 0xFF8C));
    EXPECT_EQ(testimage::ReadFile(host.request.imagePath), original);
    EXPECT_EQ(host.request.macText, "0012AB3456CE");
    EXPECT_EQ(host.writes, 1);
}

TEST_F(IntegratedFlow, OnlyTheCheckedIdentityIsPatched) {
    const struct {
        bool mac, serial;
        std::vector<std::size_t> changed;
    } cases[] = {
        {false, true, Range(0xFF88, 0xFF8C)},
        {true, false, Range(0xFF80, 0xFF88)},
        {false, false, {}},
    };
    std::size_t count = 0;
    for (const auto& c : cases) {
        host.request.writeMac = c.mac;
        host.request.writeSerial = c.serial;
        host.request.autoIncrease = c.mac;
        download();
        count += 2;
        const auto s = sessionsAfter(count);
        ASSERT_EQ(s.size(), count);
        EXPECT_EQ(differences(s.back().payload), c.changed) << c.mac << c.serial;
    }
}

TEST_F(IntegratedFlow, TheMacAdvancesEvenWhenTheImageSessionFails) {
    sim::RecorderBehaviour failImage;
    failImage.closeBefore = sim::Step::SecondAck;
    recorder.setBehaviour(failImage);
    download();
    sessionsAfter(2);
    EXPECT_EQ(shown(), std::vector<std::string>{Text(IDS_CANT_WRITE)});
    EXPECT_EQ(host.request.macText, "0012AB3456CE");
}

TEST_F(IntegratedFlow, AnIncompatibleRecorderStopsEverything) {
    sim::RecorderBehaviour incompatible;
    incompatible.incompatible = true;
    recorder.setBehaviour(incompatible);
    download();
    sessionsAfter(1);
    EXPECT_EQ(shown(), std::vector<std::string>{Text(IDS_INCOMPATIBLE)});
    EXPECT_EQ(host.request.macText, "0012AB3456CD");
    EXPECT_FALSE(recorder.waitForSessions(2, std::chrono::milliseconds(200)));
}

TEST_F(IntegratedFlow, RefusalsBeforeAnySession) {
    const struct {
        const char* name;
        std::size_t keep;  // bytes of the image kept; 0: no file at all
        const char* mac;
        int message;
    } cases[] = {
        {"missing", 0, "0012AB3456CD", IDS_NO_IMAGE_FILE},
        {"65419 bytes", 65419, "0012AB3456CD", IDS_INVALID_FILE_SIZE},
        {"65420 bytes: size passes, no application", 65420, "0012AB3456CD", IDS_NO_IMAGE_FILE},
        {"11-digit MAC", SIZE_MAX, "0012AB3456C", IDS_INVALID_MAC},
        {"MAC with a colon", SIZE_MAX, "0012AB:456CD", IDS_INVALID_MAC},
    };
    for (const auto& c : cases) {
        host.runner.messages.clear();
        host.request.macText = c.mac;
        const Bytes bytes(original.begin(), original.begin() + std::min(c.keep, original.size()));
        host.request.imagePath = c.keep ? write("cut.bin", bytes) : file("missing.bin");
        download();
        EXPECT_EQ(shown(), std::vector<std::string>{Text(c.message)}) << c.name;
        EXPECT_EQ(host.request.macText, c.mac) << c.name;
        if (c.keep) {
            EXPECT_EQ(testimage::ReadFile(host.request.imagePath), bytes) << c.name;
        }
    }
    EXPECT_FALSE(recorder.waitForSessions(1, std::chrono::milliseconds(100)));
}

TEST_F(IntegratedFlow, ALeftoverLinkUnderTheCopysNameIsReplacedNotFollowed) {
    const auto victim = write("victim.bin", Bytes(10, 0x42));
    std::filesystem::create_symlink(victim, kIntegratedCopyName);
    download();
    const auto s = sessionsAfter(2);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[1].payload.size(), original.size());
    EXPECT_EQ(testimage::ReadFile(victim), Bytes(10, 0x42));
}

TEST_F(IntegratedFlow, AnImageNamedLikeTheCopyIsNotLost) {
    host.request.imagePath = write(kIntegratedCopyName, original);
    download();
    EXPECT_EQ(shown(), std::vector<std::string>{Text(IDS_CANT_OPEN_IMAGE)});
    EXPECT_EQ(testimage::ReadFile(host.request.imagePath), original);
    std::filesystem::remove(host.request.imagePath);  // so the teardown's check holds
}

// Units provisioned at once each have their copy elsewhere; the working folder's copy name
// is then neither used nor removed.
TEST_F(IntegratedFlow, ACopyPathOfItsOwnLeavesTheWorkingFoldersCopyAlone) {
    const auto standing = write(kIntegratedCopyName, Bytes(10, 0x42));
    host.request.copyPath = (std::filesystem::path(standing).parent_path() / "unit-7").string();
    download();
    const auto s = sessionsAfter(2);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(differences(s[1].payload), Range(0xFF80, 0xFF8C));
    EXPECT_EQ(testimage::ReadFile(standing), Bytes(10, 0x42));
    EXPECT_FALSE(std::filesystem::exists(host.request.copyPath));
    std::filesystem::remove(standing);  // so the teardown's check holds
}

}  // namespace
}  // namespace imgdl::test
