// Table construction: the results for empty, complete, incomplete and
// over-subscribed codes, the width actually used, and that every code, also the
// long ones that go through sub-tables, decodes to its own symbol.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "GzipTestSupport.h"
#include "gzip/BitInput.h"
#include "gzip/DeflateSymbols.h"
#include "gzip/HuffmanTable.h"
#include "gzip/InflateCodes.h"

namespace imgdl::gzip {
namespace {

using test::BitWriter;
using test::Bytes;

SymbolSet AllLiterals(std::size_t count) {
    return SymbolSet{static_cast<unsigned>(count), {}, {}};
}

struct BuildCase {
    const char* name;
    std::vector<std::uint8_t> lengths;
    unsigned requestedWidth;
    int result;
    unsigned width;
};

TEST(HuffmanTable, ResultsAndWidths) {
    const std::vector<BuildCase> cases = {
        {"all lengths 0: empty table", {0, 0, 0}, 9, kBuildComplete, 0},
        {"complete two-bit code", {2, 2, 2, 2}, 9, kBuildComplete, 2},
        {"complete, width lowered to the longest", {1, 2, 3, 3}, 9, kBuildComplete, 3},
        {"width raised to the shortest", {7, 7, 7, 7}, 5, kBuildIncomplete, 7},
        {"incomplete", {2, 2, 2}, 7, kBuildIncomplete, 2},
        {"single one-bit code counts as complete", {0, 1, 0}, 7, kBuildComplete, 1},
        {"two one-bit codes", {1, 1}, 7, kBuildComplete, 1},
        {"over-subscribed", {1, 1, 1}, 7, kBuildOversubscribed, 0},
        {"over-subscribed at the longest length", {1, 2, 2, 2}, 7, kBuildOversubscribed, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HuffmanTable table;
        EXPECT_EQ(
            BuildHuffmanTable(c.lengths, AllLiterals(c.lengths.size()), c.requestedWidth, table),
            c.result);
        if (c.result <= kBuildIncomplete) {
            EXPECT_EQ(table.width, c.width);
        }
    }
}

// Writes each symbol's code and decodes it back.
void ExpectEverySymbolDecodes(const std::vector<std::uint8_t>& lengths, unsigned width) {
    HuffmanTable table;
    ASSERT_EQ(BuildHuffmanTable(lengths, AllLiterals(lengths.size()), width, table),
              kBuildComplete);
    const auto codes = test::CanonicalCodes(lengths);
    BitWriter bits;
    for (std::size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] != 0) bits.putCode(codes[s], lengths[s]);
    Bytes data = bits.bytes();
    data.resize(data.size() + 4);  // the reader never takes the last bytes
    MemoryStream stream = openMemoryStream(data.data(), data.size());
    BitInput input(stream);
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        if (lengths[s] == 0) continue;
        const HuffmanSlot* slot = DecodeSymbol(input, table);
        ASSERT_NE(slot, nullptr) << "symbol " << s;
        EXPECT_EQ(slot->op, kOpLiteral);
        EXPECT_EQ(slot->value, s);
    }
}

// A complete code over 256 symbols with lengths spread from 1 to 15: start from
// all lengths 8 and repeatedly trade two codes of one length for one shorter
// code, giving the freed symbol half of another code's space.
std::vector<std::uint8_t> SpreadCompleteCode(std::uint32_t seed) {
    std::vector<std::uint8_t> lengths(256, 8);
    std::mt19937 rng(seed);
    for (int round = 0; round < 2000; ++round) {
        const std::size_t i = rng() % 256, j = rng() % 256, k = rng() % 256;
        if (i == j || k == i || k == j || lengths[i] != lengths[j] || lengths[i] < 2) continue;
        if (lengths[k] >= 15) continue;
        lengths[i] -= 1;
        lengths[k] += 1;
        lengths[j] = lengths[k];
    }
    return lengths;
}

TEST(HuffmanTable, LongCodesDecodeThroughSubTables) {
    // 1, 2, ..., 15, 15: complete, one code at each length up to 15.
    std::vector<std::uint8_t> staircase(16);
    std::iota(staircase.begin(), staircase.end() - 1, 1);
    staircase.back() = 15;
    for (unsigned width : {9u, 7u, 6u, 5u}) {
        SCOPED_TRACE(width);
        ExpectEverySymbolDecodes(staircase, width);
        for (std::uint32_t seed = 1; seed <= 20; ++seed) {
            SCOPED_TRACE(seed);
            ExpectEverySymbolDecodes(SpreadCompleteCode(seed), width);
        }
    }
}

TEST(HuffmanTable, FixedCodesBuildAsDeflateExpects) {
    std::vector<std::uint8_t> literal(288);
    for (std::size_t i = 0; i < 288; ++i) literal[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    HuffmanTable table;
    EXPECT_EQ(BuildHuffmanTable(literal, kLiteralLengthSymbols, 7, table), kBuildComplete);
    EXPECT_EQ(table.width, 7u);
    std::vector<std::uint8_t> distance(30, 5);
    EXPECT_EQ(BuildHuffmanTable(distance, kDistanceSymbols, 5, table), kBuildIncomplete);
    EXPECT_EQ(table.width, 5u);
}

}  // namespace
}  // namespace imgdl::gzip
