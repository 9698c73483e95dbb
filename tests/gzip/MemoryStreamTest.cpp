// The stream primitives the decompressor is built on, at the region's two ends.
#include <gtest/gtest.h>

#include <array>

#include "gzip/GzipInflater.h"

namespace imgdl {
namespace {

TEST(MemoryStream, ReadsFrontToBackAndGivesFFWithoutMovingAtTheEnd) {
    std::array<std::uint8_t, 2> bytes{0x00, 0xFF};
    MemoryStream s = openMemoryStream(bytes.data(), bytes.size());
    EXPECT_EQ(s.start, bytes.data());
    EXPECT_EQ(s.end, bytes.data() + 2);
    EXPECT_EQ(getByte(s), 0x00);
    EXPECT_FALSE(atEnd(s));
    EXPECT_EQ(getByte(s), 0xFF);
    EXPECT_TRUE(atEnd(s));
    EXPECT_EQ(getByte(s), 0xFF);
    EXPECT_EQ(s.position, s.end);
}

TEST(MemoryStream, UngetStepsBackButNotBeforeTheStart) {
    std::array<std::uint8_t, 1> bytes{0x42};
    MemoryStream s = openMemoryStream(bytes.data(), bytes.size());
    EXPECT_EQ(ungetByte(s), -1);
    EXPECT_EQ(s.position, s.start);
    getByte(s);
    EXPECT_EQ(ungetByte(s), 0);
    EXPECT_EQ(s.position, s.start);
    EXPECT_EQ(bytes[0], 0x42);
}

TEST(MemoryStream, WriteCopiesOnlyWhatFits) {
    std::array<std::uint8_t, 4> region{};
    const std::array<std::uint8_t, 3> data{1, 2, 3};
    MemoryStream s = openMemoryStream(region.data(), region.size());
    EXPECT_EQ(writeBytes(s, data.data(), 3), 3u);
    EXPECT_EQ(writeBytes(s, data.data(), 3), 1u);
    EXPECT_EQ(writeBytes(s, data.data(), 3), 0u);
    EXPECT_EQ(region, (std::array<std::uint8_t, 4>{1, 2, 3, 1}));
    EXPECT_TRUE(atEnd(s));
}

TEST(MemoryStream, ReadBytesCopiesAndAdvances) {
    std::array<std::uint8_t, 5> bytes{9, 8, 7, 6, 5};
    std::array<std::uint8_t, 3> got{};
    MemoryStream s = openMemoryStream(bytes.data(), bytes.size());
    getByte(s);
    readBytes(s, got.data(), 3);
    EXPECT_EQ(got, (std::array<std::uint8_t, 3>{8, 7, 6}));
    EXPECT_EQ(getByte(s), 5);
}

TEST(MemoryStream, EmptyRegionIsAtItsEnd) {
    MemoryStream s = openMemoryStream(nullptr, 0);
    EXPECT_TRUE(atEnd(s));
    EXPECT_EQ(getByte(s), 0xFF);
    EXPECT_EQ(ungetByte(s), -1);
    EXPECT_EQ(writeBytes(s, nullptr, 0), 0u);
}

}  // namespace
}  // namespace imgdl
