// Members made by the system's gzip command at run time: with the file name in
// the header, and with a comment added to such a header by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "GzipTestSupport.h"

namespace imgdl::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kFlagName = 0x08;
constexpr std::uint8_t kFlagComment = 0x10;

class GzipCommand : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::path(testing::TempDir()) / ("gzip_cmd_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        if (std::system("gzip --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no gzip command";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes content to a file and returns `gzip <options> -c -N file`.
    Bytes Gzip(const Bytes& content, const std::string& name, const std::string& options) {
        const fs::path file = dir_ / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()),
                   static_cast<std::streamsize>(content.size()));
        const fs::path gz = dir_ / (name + ".gz");
        const std::string command =
            "gzip " + options + " -c -N '" + file.string() + "' > '" + gz.string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(gz, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path dir_;
};

TEST_F(GzipCommand, MembersWithNameAndComment) {
    struct CommandCase {
        const char* name;
        DataKind kind;
        std::size_t size;
        const char* options;
        bool addComment;
    };
    const CommandCase cases[] = {
        {"text.txt", DataKind::kText, 200000, "-6", false},
        {"firmware.bin", DataKind::kBinary, 300000, "-9", false},
        {"noise.dat", DataKind::kRandom, 70000, "-1", false},
        {"empty", DataKind::kText, 0, "-9", false},
        {"commented.txt", DataKind::kText, 50000, "-9", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes content = MakeData(c.kind, c.size, 11);
        Bytes member = Gzip(content, c.name, c.options);
        ASSERT_GT(member.size(), 18u);
        ASSERT_EQ(member[3] & kFlagName, kFlagName);
        if (c.addComment) {
            // The comment follows the name's terminating zero.
            member[3] |= kFlagComment;
            const auto nameEnd = std::find(member.begin() + 10, member.end(), 0);
            const std::string comment = "built for the test";
            Bytes text(comment.begin(), comment.end());
            text.push_back(0);
            member.insert(nameEnd + 1, text.begin(), text.end());
        }
        const UnzipRun run = RunUnzip(member, c.size + 10, 0xEE);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.printed, "");
        EXPECT_EQ(run.consumed, member.size());
        EXPECT_EQ(
            Bytes(run.region.begin(), run.region.begin() + static_cast<std::ptrdiff_t>(c.size)),
            content);
        EXPECT_EQ(run.region[c.size], 0xEE);
    }
}

}  // namespace
}  // namespace imgdl::test
