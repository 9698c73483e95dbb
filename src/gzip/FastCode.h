#pragma once
// Decoding tables for the fast decoder, made straight from a code's lengths. The
// first input bits index the main table; codewords longer than that
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

// The main table is always kBits wide, so that its mask is a constant.
template <unsigned kEntries, unsigned kBits>
struct FastCode {
    static constexpr unsigned kBitsUsed = kBits;
    static constexpr std::uint32_t kMask = (1u << kBits) - 1u;
    std::array<std::uint32_t, kEntries> entries{};
};
using FastLiteralCode = FastCode<kFastLiteralEntries, kFastLiteralBits>;
using FastDistanceCode = FastCode<kFastDistanceEntries, kFastDistanceBits>;

// A block's two codes side by side, so that the decoder reaches both tables
// from one base address.
struct FastCodes {
    FastLiteralCode literals;
    FastDistanceCode distances;
};

// Makes the table of a code that CheckCodeLengths accepted (complete, or
// incomplete only as the fixed distance code and one-bit codes may be); a code
// with no codes at all gives only exceptional entries.
void BuildFastCode(std::span<const std::uint8_t> lengths, const SymbolSet& symbols, unsigned bits,
                   std::uint32_t* entries);

template <unsigned kEntries, unsigned kBits>
void BuildFastCode(std::span<const std::uint8_t> lengths, const SymbolSet& symbols,
                   FastCode<kEntries, kBits>& fast) {
    BuildFastCode(lengths, symbols, kBits, fast.entries.data());
}

}  // namespace imgdl::gzip
