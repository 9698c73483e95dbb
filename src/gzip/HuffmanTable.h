#pragma once
// Decoding tables for canonical Huffman codes: a first-level table indexed by the
// next `width` input bits, with sub-tables for the longer codes.
#include <cstdint>
#include <span>
#include <vector>

namespace imgdl::gzip {

// Slot operations; values 0..13 are the extra-bit counts of length or distance bases.
inline constexpr std::uint8_t kOpEndOfBlock = 15;
inline constexpr std::uint8_t kOpLiteral = 16;
// 16 + n links to a sub-table indexed by the next n bits.
inline constexpr std::uint8_t kOpInvalid = 99;

struct HuffmanSlot {
    std::uint8_t op = kOpInvalid;
    std::uint8_t bits = 0;    // input bits this slot consumes
    std::uint16_t value = 0;  // literal, symbol, base, or the sub-table's first slot
};
static_assert(sizeof(HuffmanSlot) == 4);

struct HuffmanTable {
    std::vector<HuffmanSlot> slots;  // first level at 0, sub-tables behind it
    unsigned width = 0;              // 0: the code has no codes at all

    bool empty() const { return width == 0; }
};

enum BuildResult : int {
    kBuildComplete = 0,
    kBuildIncomplete = 1,
    kBuildOversubscribed = 2,
    kBuildNoMemory = 3,
};

// Symbols and their meaning for one code: symbols below simpleCount are literals
// (256 is end of block); the others take bases/extraBits[symbol - simpleCount].
struct SymbolSet {
    unsigned simpleCount = 0;
    std::span<const std::uint16_t> bases;
    std::span<const std::uint8_t> extraBits;
};

// The result BuildHuffmanTable gives for these lengths, short of running out of
// memory, without making the table.
int CheckCodeLengths(std::span<const std::uint8_t> lengths);

// Builds the table for the given code lengths (0 = unused) with the requested
// first-level width; the width used is raised to the shortest length and lowered
// to the longest. An incomplete code whose longest length is 1 counts as complete.
int BuildHuffmanTable(std::span<const std::uint8_t> lengths, const SymbolSet& symbols,
                      unsigned requestedWidth, HuffmanTable& table);

}  // namespace imgdl::gzip
