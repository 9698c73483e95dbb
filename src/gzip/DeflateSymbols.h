#pragma once
// The fixed symbol meanings of DEFLATE: length and distance bases with their
// extra-bit counts, and the order in which code-length code lengths are sent.
#include <array>
#include <cstdint>

#include "gzip/HuffmanTable.h"

namespace imgdl::gzip {

// Literal/length symbols 257..287; 286 and 287 are invalid.
inline constexpr std::array<std::uint16_t, 31> kLengthBases = {
    3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27, 31,
    35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
inline constexpr std::array<std::uint8_t, 31> kLengthExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,          2,         2,
    3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, kOpInvalid, kOpInvalid};

inline constexpr std::array<std::uint16_t, 30> kDistanceBases = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr std::array<std::uint8_t, 30> kDistanceExtraBits = {
    0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

inline constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

inline const SymbolSet kLiteralLengthSymbols{257, kLengthBases, kLengthExtraBits};
inline const SymbolSet kDistanceSymbols{0, kDistanceBases, kDistanceExtraBits};
inline const SymbolSet kCodeLengthSymbols{19, {}, {}};

inline constexpr unsigned kMaxLiteralLengthCodes = 286;
inline constexpr unsigned kMaxDistanceCodes = 30;
inline constexpr unsigned kMaxMatchLength = 258;

}  // namespace imgdl::gzip
