// Paths that name something other than a readable regular file: a FIFO (which
// would block a plain open() until a writer came), a directory and a file nobody may
// read. Every command that takes a file refuses them at once, with the message it
// gives for a file it cannot open, and sends nothing.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include "CliTestSupport.h"

namespace imgdl::test {
namespace {

constexpr const char* kCannotOpen = "Can't open the image file.\n";

class OddPathTest : public CliTest {
  protected:
    // Each command with PATH standing for the odd path, and what it says about it.
    struct Command {
        std::string args;
        std::string err;
    };
    std::vector<Command> commands(const std::string& path) {
        return {
            {"probe " + path, kCannotOpen},
            {"probe --integrated " + path, kCannotOpen},
            {"send app " + path + " " + target(), kCannotOpen},
            {"send ptz " + path + " " + target(), kCannotOpen},
            {"send integrated " + path + " " + target(), kCannotOpen},
            {"ptz list " + path, "imgdl: cannot open " + path + "\n"},
            {"ptz verify " + path, kCannotOpen},
            {"ptz build " + path + " 7 -o out.bin",
             "imgdl: cannot read the PTZ database " + path + "\n"},
        };
    }
    // Runs every command on the path; a command still blocked after a few seconds is
    // stopped and fails the test instead of hanging it.
    void expectRefusedAtOnce(const std::string& path) {
        for (const Command& c : commands(path)) {
            const Result r = imgdl(c.args, 5);
            EXPECT_EQ(r.exit, 2) << c.args << (r.exit == kTimedOut ? " (blocked)" : "");
            EXPECT_EQ(r.out, "") << c.args;
            EXPECT_EQ(r.err, c.err) << c.args;
            EXPECT_FALSE(std::filesystem::exists(file("out.bin"))) << c.args;
        }
        EXPECT_TRUE(noSession());
    }
};

TEST_F(OddPathTest, AFifoIsRefusedWithoutWaitingForAWriter) {
    const std::string fifo = file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    expectRefusedAtOnce(fifo);
}

TEST_F(OddPathTest, ADirectoryCannotBeOpenedAsAnImage) {
    const std::string folder = file("folder");
    std::filesystem::create_directory(folder);
    expectRefusedAtOnce(folder);
}

TEST_F(OddPathTest, AnUnreadableFileCannotBeOpened) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
    testimage::IntegratedOptions options;
    const std::string locked = write("locked.bin", testimage::BuildIntegratedImage(options));
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    expectRefusedAtOnce(locked);
}

}  // namespace
}  // namespace imgdl::test
