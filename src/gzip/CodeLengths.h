#pragma once
// A dynamic block's literal/length and distance code lengths, coded with the
// code-length code, read as one sequence.
#include <cstdint>

#include "gzip/BitInput.h"
#include "gzip/HuffmanTable.h"

namespace imgdl::gzip {

// Reads `count` lengths; kInflateOk or kInflateBadData. With `fast`, and plenty
// of input left, the bits are taken a word at a time: the input then stands at
// the same bit as after the careful reading, holding fewer whole bytes, and a
// failure leaves it anywhere, so a failed member must be read again carefully
// to find where it stops.
int ReadCodeLengths(BitInput& bits, const HuffmanTable& codeLengths, std::uint8_t* lengths,
                    unsigned count, bool fast);

}  // namespace imgdl::gzip
