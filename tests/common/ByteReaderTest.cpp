// The byte cursor: words in both byte orders, and a short read that fails for good.
#include <gtest/gtest.h>

#include <array>

#include "common/ByteReader.h"

namespace imgdl::test {
namespace {

TEST(ByteReader, ReadsWordsInTheirByteOrder) {
    const std::array<std::uint8_t, 9> bytes = {0x01, 0x02, 0x03, 0x04, 0x01,
                                               0x02, 0x03, 0x04, 0xAA};
    ByteReader reader(bytes);
    EXPECT_EQ(reader.le32(), 0x04030201u);
    EXPECT_EQ(reader.be32(), 0x01020304u);
    EXPECT_EQ(reader.u8(), 0xAA);
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_FALSE(reader.failed());
}

TEST(ByteReader, AShortReadFailsAndEveryLaterReadToo) {
    const std::array<std::uint8_t, 6> bytes = {1, 2, 3, 4, 5, 6};
    ByteReader reader(bytes);
    EXPECT_TRUE(reader.skip(3));
    EXPECT_EQ(reader.le32(), std::nullopt);  // three bytes left, not four
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.position(), 3u);      // nothing consumed by the failed read
    EXPECT_EQ(reader.u8(), std::nullopt);  // a byte is there, but the reader has failed
    EXPECT_FALSE(reader.take(0).has_value());
}

TEST(ByteReader, EmptyInput) {
    ByteReader reader(std::span<const std::uint8_t>{});
    EXPECT_TRUE(reader.take(0).has_value());
    EXPECT_EQ(reader.u8(), std::nullopt);
    EXPECT_TRUE(reader.failed());
}

}  // namespace
}  // namespace imgdl::test
