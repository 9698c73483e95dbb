#pragma once
// Decoding of the compressed symbols of one fixed or dynamic block.
#include <cstdint>
#include <span>

#include "gzip/InflateState.h"

namespace imgdl::gzip {

// Decodes one symbol of a code; nullptr when the input runs out, the code has no
// codes at all, or the bits lead to an invalid slot.
const HuffmanSlot* DecodeSymbol(BitInput& bits, const HuffmanTable& table);

// One block's codes. The careful decoder's tables may be left to be made when
// it first needs them, from the lengths given.
struct BlockCodes {
    HuffmanTable* literals = nullptr;
    HuffmanTable* distances = nullptr;
    const FastCodes* fast = nullptr;  // null: the careful decoder alone
    bool carefulMade = true;
    std::span<const std::uint8_t> literalLengths;
    std::span<const std::uint8_t> distanceLengths;
    unsigned literalWidth = 0;
    unsigned distanceWidth = 0;
};

// Literals and matches up to and including the end-of-block symbol.
int InflateCodes(InflateState& state, BlockCodes& codes);

}  // namespace imgdl::gzip
