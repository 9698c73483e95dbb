// The CRC register against zlib's crc32 for every length up to a few hundred
// bytes, at every alignment, and split at arbitrary points.
#include <gtest/gtest.h>
#include <zlib.h>

#include "GzipTestSupport.h"
#include "gzip/Crc32.h"

namespace imgdl::test {
namespace {

std::uint32_t Reference(const std::uint8_t* p, std::size_t n) {
    return static_cast<std::uint32_t>(crc32(0L, p, static_cast<uInt>(n)));
}

TEST(Crc32, MatchesZlibForAllLengthsAndAlignments) {
    const Bytes data = MakeData(DataKind::kRandom, 70000, 5);
    for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t n = 0; n < 300; ++n) {
            ASSERT_EQ(~gzip::UpdateCrc32(0xFFFFFFFFu, data.data() + offset, n),
                      Reference(data.data() + offset, n))
                << "offset " << offset << " length " << n;
        }
    }
    ASSERT_EQ(~gzip::UpdateCrc32(0xFFFFFFFFu, data.data() + 3, 65536),
              Reference(data.data() + 3, 65536));
}

TEST(Crc32, RegisterCarriesAcrossPieces) {
    const Bytes data = MakeData(DataKind::kText, 5000, 6);
    for (std::size_t split : {1u, 63u, 64u, 65u, 1000u, 4999u}) {
        std::uint32_t reg = gzip::UpdateCrc32(0xFFFFFFFFu, data.data(), split);
        reg = gzip::UpdateCrc32(reg, data.data() + split, data.size() - split);
        EXPECT_EQ(~reg, Reference(data.data(), data.size())) << split;
    }
}

}  // namespace
}  // namespace imgdl::test
