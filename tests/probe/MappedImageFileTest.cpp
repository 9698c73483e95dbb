#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "TestImage.h"
#include "image/MappedImageFile.h"
#include "support/TempDir.h"

namespace imgdl {
namespace {

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                      std::filesystem::directory_iterator()));
}

class MappedImageFileTest : public testing::Test {
  protected:
    void SetUp() override {
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
        testimage::WriteFile(path, bytes);
    }
    test::TempDir dir;
    std::string path = dir.file("image.bin");
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(10000);
};

TEST_F(MappedImageFileTest, ReadOnlyViewEqualsTheFile) {
    MappedImageFile file;
    EXPECT_EQ(file.Length(), 0u);
    const std::uint8_t* view = file.Open(path, true);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(file.Length(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), view));
    file.Close();
    EXPECT_EQ(file.Length(), 0u);
    EXPECT_EQ(file.view(), nullptr);
}

TEST_F(MappedImageFileTest, WritesThroughReadWriteViewReachTheFile) {
    {
        MappedImageFile file;
        std::uint8_t* view = file.Open(path, false);
        ASSERT_NE(view, nullptr);
        view[0xFF] = 0xAB;
    }
    bytes[0xFF] = 0xAB;
    EXPECT_EQ(testimage::ReadFile(path), bytes);
}

TEST_F(MappedImageFileTest, FailuresAndReopeningReleaseEverything) {
    const auto before = OpenDescriptors();
    const auto empty = dir.file("empty.bin");
    testimage::WriteFile(empty, {});
    {
        MappedImageFile file;
        EXPECT_EQ(file.Open(empty, true), nullptr);
        EXPECT_EQ(file.Open(dir.file("missing.bin"), true), nullptr);
        EXPECT_EQ(file.Length(), 0u);
        ASSERT_NE(file.Open(path, true), nullptr);
        ASSERT_NE(file.Open(path, false), nullptr);  // the first view is closed first
        EXPECT_EQ(OpenDescriptors(), before + 1);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace imgdl
