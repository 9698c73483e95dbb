#pragma once
// Single-lookup decoding tables for the fast decoder, made from a block's
// HuffmanTable. One 32-bit entry per pattern of the next `bits` input bits gives
// everything a step needs:
//   bits 0..7    input bits to drop: the codeword plus its extra bits
//   bits 8..11   codeword length (the extra bits follow it)
//   bit 14       exceptional: end of block, an invalid code, or a codeword longer
//                than `bits`; the careful decoder takes the symbol
//   bit 15       a literal
//   bits 16..31  the literal, or the length or distance base
#include <array>
#include <cstdint>

#include "gzip/HuffmanTable.h"

namespace imgdl::gzip {

inline constexpr std::uint32_t kFastLiteral = 0x8000;
inline constexpr std::uint32_t kFastExceptional = 0x4000;
inline constexpr unsigned kFastMaxBits = 11;

struct FastCode {
    std::array<std::uint32_t, 1u << kFastMaxBits> entries{};
    unsigned bits = 0;  // 0: not usable, the careful decoder takes every symbol
    std::uint32_t mask() const { return (1u << bits) - 1u; }
};

// Resolves every pattern of `wantedBits` bits (raised to the table's first-level
// width) through the table. An empty table gives one exceptional entry; a table
// wider than kFastMaxBits gives an unusable FastCode.
void BuildFastCode(const HuffmanTable& table, unsigned wantedBits, FastCode& fast);

}  // namespace imgdl::gzip
