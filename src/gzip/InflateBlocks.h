#pragma once
// DEFLATE data: the sequence of blocks up to the final one.
#include "gzip/InflateState.h"

namespace imgdl::gzip {

// Decodes all blocks into the window, returns the bytes held beyond the data to
// the input and flushes the window. Returns an InflateResult.
int InflateBlocks(InflateState& state);

}  // namespace imgdl::gzip
