#pragma once
// Decoding of the compressed symbols of one fixed or dynamic block.
#include "gzip/InflateState.h"

namespace imgdl::gzip {

// Decodes one symbol of a code; nullptr when the input runs out, the code has no
// codes at all, or the bits lead to an invalid slot.
const HuffmanSlot* DecodeSymbol(BitInput& bits, const HuffmanTable& table);

// Literals and matches up to and including the end-of-block symbol. The fast
// tables, made from the same codes, are optional.
int InflateCodes(InflateState& state, const HuffmanTable& literals, const HuffmanTable& distances,
                 const FastCode* fastLiterals = nullptr, const FastCode* fastDistances = nullptr);

}  // namespace imgdl::gzip
