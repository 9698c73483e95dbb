#include <gtest/gtest.h>

#include <filesystem>

#include "StoredGzip.h"
#include "TestImage.h"
#include "image/ProbeFirmwareVersion.h"
#include "support/TempDir.h"

namespace imgdl {
namespace {

using testimage::ApplicationOptions;

class ProbeTest : public testing::Test {
  protected:
    // Probes the application both alone and inside an integrated image; the two
    // layouts must agree.
    std::int32_t ProbeBoth(const ApplicationOptions& app) {
        const auto appPath = dir.file("app.bin");
        const auto intPath = dir.file("integrated.bin");
        testimage::WriteFile(appPath, testimage::BuildApplicationImage(app));
        testimage::WriteFile(intPath, testimage::BuildIntegratedImage({app, 0x12AB, 0x3456CD, 7}));
        const auto alone = ProbeFirmwareVersion(appPath, ImageLayout::Application);
        EXPECT_EQ(ProbeFirmwareVersion(intPath, ImageLayout::Integrated), alone);
        return alone;
    }

    test::TempDir dir;
};

ApplicationOptions WithTag(const char* tag) {
    ApplicationOptions app;
    if (tag)
        app.tag = tag;
    else
        app.tag.reset();
    return app;
}

TEST_F(ProbeTest, ReadsTheVersionInBothLayouts) {
    const struct {
        ApplicationOptions app;
        std::int32_t expected;
    } cases[] = {
        {WithTag("$version: 1.2.3 $"), 0x01020300},
        {WithTag("$version: 2.10.0 $"), 0x020A0000},
        {WithTag("$version: 0.0.0 $"), 0},
        {WithTag("$version: 1.2 $"), -1},
        {WithTag("$version:1.2.3 $"), -1},
        {WithTag("$$version: 1.2.3 $"), 0x01020300},
        {WithTag("$version: a.b.c $ then $version: 1.2.3 $"), -1},
        {WithTag(nullptr), -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProbeBoth(c.app), c.expected) << c.app.tag.value_or("(none)");
}

TEST_F(ProbeTest, MembersThatDoNotDecompressHaveNoVersion) {
    const auto good =
        testimage::StoredGzip(testimage::ApplicationContent(WithTag("$version: 1.2.3 $")));
    auto badMagic = good;
    badMagic[1] = 0x8C;
    auto otherMethod = good;
    otherMethod[2] = 7;
    auto badCrc = good;
    badCrc[good.size() - 8] ^= 1;
    for (const auto& member : {badMagic, otherMethod, badCrc}) {
        ApplicationOptions app;
        app.member = member;
        EXPECT_EQ(ProbeBoth(app), -1);
    }
}

TEST_F(ProbeTest, OnlyTheFirstFourMebibytesAreSearched) {
    ApplicationOptions app = WithTag("$version: 3.4.5 $");
    app.appSize = kProbeRegionSize + 4096;
    app.tagOffset = kProbeRegionSize - 17;  // the tag ends on the region's last byte
    app.filler = testimage::Filler::Zero;
    EXPECT_EQ(ProbeBoth(app), 0x03040500);
    app.tagOffset = kProbeRegionSize + 10;  // expanded, but dropped with the overflow
    EXPECT_EQ(ProbeBoth(app), -1);
}

TEST_F(ProbeTest, ShortOrMissingFiles) {
    const auto image = testimage::BuildApplicationImage(WithTag("$version: 1.2.3 $"));
    const auto path = dir.file("short.bin");
    const struct {
        std::size_t keep;
        std::int32_t expected;
    } cases[] = {
        {0, -1},                     // empty file: opens, but holds no header
        {100, -1},                   // shorter than the header
        {kAppHeaderOffset + 3, -1},  // header cut
        {kAppMemberOffset, -1},      // header announces bytes that are not there
        {image.size() - 1, -1},      // member one byte short
        {image.size(), 0x01020300},
    };
    for (const auto& c : cases) {
        testimage::WriteFile(path, std::span(image).first(c.keep));
        EXPECT_EQ(ProbeFirmwareVersion(path, ImageLayout::Application), c.expected) << c.keep;
    }
    EXPECT_EQ(ProbeFirmwareVersion(dir.file("missing.bin"), ImageLayout::Application), 0);
    EXPECT_EQ(ProbeFirmwareVersion(dir.file(""), ImageLayout::Application), 0);  // a directory
}

TEST_F(ProbeTest, AnnouncedLengthBeyondTheFileEnd) {
    auto image = testimage::BuildApplicationImage(WithTag("$version: 1.2.3 $"));
    image[kAppHeaderOffset + 3] = 0x7F;  // length near 2 GiB
    const auto path = dir.file("huge-length.bin");
    testimage::WriteFile(path, image);
    EXPECT_EQ(ProbeFirmwareVersion(path, ImageLayout::Application), -1);
}

}  // namespace
}  // namespace imgdl
