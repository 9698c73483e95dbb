#include <vector>

#include "FlowTestSupport.h"
#include "ptz/PtzImage.h"

namespace imgdl::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ApplicationFlow : public FlowTest {
  protected:
    std::string image(const char* tag = "$version: 1.2.3 $") {
        testimage::ApplicationOptions options;
        if (tag)
            options.tag = tag;
        else
            options.tag.reset();
        bytes = testimage::BuildApplicationImage(options);
        host.request.imagePath = write("app.bin", bytes);
        host.request.kind = DownloadKind::Application;
        return host.request.imagePath;
    }
    Bytes bytes;
};

TEST_F(ApplicationFlow, ChecksTheVersionThenSendsTheWholeFile) {
    image();
    download();
    const auto s = sessionsAfter(2);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].command, CMD_FIRMWARE_VERSION);
    EXPECT_EQ(s[0].payload, (Bytes{0x00, 0x03, 0x02, 0x01}));
    EXPECT_EQ(s[1].command, CMD_APPLICATION_IMAGE);
    EXPECT_EQ(s[1].length, bytes.size());
    EXPECT_EQ(s[1].payload, bytes);
    EXPECT_TRUE(shown().empty());
}

TEST_F(ApplicationFlow, AnIncompatibleRecorderGetsNoImage) {
    image();
    sim::RecorderBehaviour incompatible;
    incompatible.incompatible = true;
    recorder.setBehaviour(incompatible);
    download();
    EXPECT_EQ(sessionsAfter(1).size(), 1u);
    EXPECT_EQ(shown(), std::vector<std::string>{Text(IDS_INCOMPATIBLE)});
    // Give a wrongly started second session time to show up.
    EXPECT_FALSE(recorder.waitForSessions(2, std::chrono::milliseconds(200)));
}

TEST_F(ApplicationFlow, RefusedImagesMakeNoConnection) {
    const struct {
        const char* tag;  // nullptr: no tag
        bool missing;
        int message;
    } cases[] = {
        {"$version: 1.2.3 $", true, IDS_CANT_OPEN_IMAGE},
        {nullptr, false, IDS_NO_IMAGE_FILE},
        {"$version: 0.0.0 $", false, IDS_INVALID_DATA},
    };
    for (const auto& c : cases) {
        host.runner.messages.clear();
        image(c.tag);
        if (c.missing) host.request.imagePath = file("missing.bin");
        download();
        EXPECT_EQ(shown(), std::vector<std::string>{Text(c.message)}) << c.message;
    }
    EXPECT_FALSE(recorder.waitForSessions(1, std::chrono::milliseconds(100)));
}

class PtzFlow : public FlowTest {
  protected:
    Bytes validImage() {
        PtzImage image;
        PtzProtocol protocol = PtzProtocol::MakeNew(7);
        image.PutSlot(0, protocol);
        const auto path = file("valid.bin");
        EXPECT_EQ(image.Save(path), 1);
        return testimage::ReadFile(path);
    }
    void send(const Bytes& bytes) {
        host.request.kind = DownloadKind::Ptz;
        host.request.imagePath = write("ptz.bin", bytes);
        download();
    }
};

TEST_F(PtzFlow, AValidImageIsSentUnchanged) {
    const Bytes bytes = validImage();
    send(bytes);
    const auto s = sessionsAfter(1);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].command, CMD_PTZ_IMAGE);
    EXPECT_EQ(s[0].payload, bytes);
    EXPECT_TRUE(shown().empty());
}

TEST_F(PtzFlow, InvalidImagesAreRefusedWithoutConnecting) {
    const Bytes valid = validImage();
    Bytes longer = valid;
    longer.push_back(0);
    Bytes offByOne = valid;
    ++offByOne[0];
    for (const Bytes& bytes : {Bytes(valid.begin(), valid.end() - 1), longer, offByOne}) {
        host.runner.messages.clear();
        send(bytes);
        EXPECT_EQ(shown(), std::vector<std::string>{"This PTZ image file is invalid. "})
            << bytes.size();
    }
    host.runner.messages.clear();
    host.request.imagePath = file("missing.bin");
    download();
    EXPECT_EQ(shown(), std::vector<std::string>{Text(IDS_CANT_OPEN_IMAGE)});
    EXPECT_FALSE(recorder.waitForSessions(1, std::chrono::milliseconds(100)));
}

}  // namespace
}  // namespace imgdl::test
