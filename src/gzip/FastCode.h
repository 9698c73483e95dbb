#pragma once
// Decoding tables for the fast decoder, made straight from a code's lengths. The
// first `bits` input bits index the main table; codewords longer than that
// continue in a sub-table. One 32-bit entry gives everything a step needs:
//   bits 0..7    input bits to drop: the codeword (or, for a sub-table link, the
//                main table's bits) plus its extra bits
//   bits 8..11   codeword length within this table, where the extra bits start;
//                for a link, the sub-table's index width
//   bit 12       end of block
//   bit 13       a link to the sub-table starting at bits 16..31
//   bit 14       exceptional: end of block, a link, or an unused codeword
//   bit 15       a literal
//   bits 16..31  the literal, or the length or distance base
#include <array>
#include <cstdint>
#include <span>

#include "gzip/HuffmanTable.h"

namespace imgdl::gzip {

inline constexpr std::uint32_t kFastEndOfBlock = 0x1000;
inline constexpr std::uint32_t kFastSubTable = 0x2000;
inline constexpr std::uint32_t kFastExceptional = 0x4000;
inline constexpr std::uint32_t kFastLiteral = 0x8000;

inline constexpr unsigned kFastLiteralBits = 11;
inline constexpr unsigned kFastDistanceBits = 8;
// The most entries a code of up to 288 symbols with 11 main-table bits needs,
// and a code of up to 32 symbols with 8, sub-tables included (zlib's "enough").
inline constexpr unsigned kFastLiteralEntries = 2342;
inline constexpr unsigned kFastDistanceEntries = 402;

template <unsigned kEntries>
struct FastCode {
    std::array<std::uint32_t, kEntries> entries{};
    unsigned bits = 0;  // 0: no codes; entry 0 is then an unused codeword
    std::uint32_t mask() const { return (1u << bits) - 1u; }
};
using FastLiteralCode = FastCode<kFastLiteralEntries>;
using FastDistanceCode = FastCode<kFastDistanceEntries>;

// Makes the table of a code that CheckCodeLengths accepted (complete, or
// incomplete only as the fixed distance code and one-bit codes may be). The main
// table is `bits` wide, or as wide as the longest codeword when that is shorter.
void BuildFastCode(std::span<const std::uint8_t> lengths, const SymbolSet& symbols, unsigned bits,
                   std::uint32_t* entries, unsigned& usedBits);

template <unsigned kEntries>
void BuildFastCode(std::span<const std::uint8_t> lengths, const SymbolSet& symbols, unsigned bits,
                   FastCode<kEntries>& fast) {
    BuildFastCode(lengths, symbols, bits, fast.entries.data(), fast.bits);
}

}  // namespace imgdl::gzip
