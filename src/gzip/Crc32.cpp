// Slice-by-16: sixteen 256-entry tables let one step fold sixteen input bytes,
// which keeps the check far cheaper than the decoding it accompanies.
#include "gzip/Crc32.h"

#include <array>
#include <cstring>

namespace imgdl::gzip {
namespace {

constexpr int kSlices = 16;
using CrcTables = std::array<std::array<std::uint32_t, 256>, kSlices>;

// The polynomial is assembled from its exponents, bit (31 - e) for each.
constexpr std::uint32_t Polynomial() {
    constexpr int kExponents[] = {0, 1, 2, 4, 5, 7, 8, 10, 11, 12, 16, 22, 23, 26};
    std::uint32_t poly = 0;
    for (int e : kExponents) poly |= 1u << (31 - e);
    return poly;
}
static_assert(Polynomial() == 0xEDB88320u);

constexpr CrcTables MakeTables() {
    CrcTables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ Polynomial() : c >> 1;
        t[0][i] = c;
    }
    for (int s = 1; s < kSlices; ++s)
        for (std::uint32_t i = 0; i < 256; ++i)
            t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    return t;
}

constexpr CrcTables kTables = MakeTables();

inline std::uint32_t LoadLe32At(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

std::uint32_t UpdateCrc32(std::uint32_t reg, const std::uint8_t* bytes, std::size_t count) {
    const auto& t = kTables;
    while (count >= kSlices) {
        const std::uint32_t a = LoadLe32At(bytes) ^ reg;
        const std::uint32_t b = LoadLe32At(bytes + 4);
        const std::uint32_t c = LoadLe32At(bytes + 8);
        const std::uint32_t d = LoadLe32At(bytes + 12);
        reg = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
        bytes += kSlices;
        count -= kSlices;
    }
    while (count-- != 0) reg = t[0][(reg ^ *bytes++) & 0xFF] ^ (reg >> 8);
    return reg;
}

}  // namespace imgdl::gzip
