// What a shell script gets from the programs: standard output holds results only
// (`ver=$(imgdl probe fw.bin)`), the decompressor's diagnostics appear only with
// --verbose and then on standard error, and --version answers without doing anything.
#include <gmock/gmock.h>

#include "CliTestSupport.h"
#include "image/ImageLayout.h"

namespace imgdl::test {
namespace {

using testing::HasSubstr;
using testing::Not;

constexpr const char* kOverflowNote = "Couldnt write\n";

class ScriptOutputTest : public CliTest {
  protected:
    // An ordinary image whose application expands past the probe's 4,194,304-byte
    // region, so the decompressor reports each piece it cannot keep.
    std::string bigApp() {
        testimage::ApplicationOptions options;
        options.appSize = 5'000'000;
        return write("big.bin", testimage::BuildApplicationImage(options));
    }
    // An image whose compressed application fails its CRC: one byte of the stored
    // data is changed (past the tag, so only the check can notice).
    std::string damagedApp() {
        auto image = testimage::BuildApplicationImage({});
        constexpr std::size_t kGzipHeader = 10, kStoredBlockHeader = 5;
        image[kAppMemberOffset + kGzipHeader + kStoredBlockHeader + 2000] ^= 0x01;
        return write("damaged.bin", image);
    }
};

TEST_F(ScriptOutputTest, ProbePrintsOnlyTheVersionWhateverTheDecompressorSays) {
    const auto big = bigApp();
    Result r = imgdl("probe " + big);
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "1.2.3\n");
    EXPECT_EQ(r.err, "");

    r = imgdl("probe --verbose " + big);
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "1.2.3\n");
    EXPECT_THAT(r.err, HasSubstr(kOverflowNote));
}

TEST_F(ScriptOutputTest, ADamagedMemberIsRefusedOnStandardErrorOnly) {
    const auto damaged = damagedApp();
    Result r = imgdl("probe " + damaged);
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "There is not image file.\n");

    r = imgdl("probe " + damaged + " --verbose");
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "invalid compressed data--crc error\nThere is not image file.\n");

    r = imgdl("send app " + damaged + " " + target());
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "There is not image file.\n");
    EXPECT_TRUE(noSession());
}

TEST_F(ScriptOutputTest, SendingABigApplicationKeepsStandardOutputEmpty) {
    const auto big = bigApp();
    Result r = imgdl("send app " + big + " " + target());
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, Not(HasSubstr(kOverflowNote)));
    ASSERT_TRUE(recorder.waitForSessions(2, std::chrono::seconds(5)));
    EXPECT_EQ(recorder.sessions()[1].payload.size(), testimage::ReadFile(big).size());

    r = imgdl("send app " + big + " --verbose " + target());
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr(kOverflowNote));
}

TEST_F(ScriptOutputTest, EveryProgramTellsItsVersion) {
    const struct {
        std::string program;
        const char* out;
    } cases[] = {
        {IMGDL_PROGRAM, "imgdl 3.5\n"},
        {RECORDER_SIM_PROGRAM, "recorder-sim 3.5\n"},
        {MAKE_TEST_IMAGE_PROGRAM, "make-test-image 3.5\n"},
    };
    for (const auto& c : cases) {
        const Result r = run(c.program, "--version", 5);
        EXPECT_EQ(r.exit, 0) << c.program;
        EXPECT_EQ(r.out, c.out) << c.program;
        EXPECT_EQ(r.err, "") << c.program;
    }
}

}  // namespace
}  // namespace imgdl::test
