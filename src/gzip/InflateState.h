#pragma once
// Everything one decompression works on. It lives for one call, so calls on
// different threads share nothing.
#include "gzip/BitInput.h"
#include "gzip/Diagnostics.h"
#include "gzip/FastCode.h"
#include "gzip/HuffmanTable.h"
#include "gzip/InflateWindow.h"

namespace imgdl::gzip {

// Results of DEFLATE decoding.
enum InflateResult : int {
    kInflateOk = 0,
    kInflateBadData = 1,   // bad or truncated data, incomplete dynamic code
    kInflateBadCode = 2,   // block type 3, over-subscribed code
    kInflateNoMemory = 3,  // a decoding table could not be made
};

struct InflateState {
    explicit InflateState(MemoryStream& input) : bits(input) {}

    BitInput bits;
    InflateWindow window;
    HuffmanTable literals;
    HuffmanTable distances;
    HuffmanTable codeLengths;
    HuffmanTable fixedLiterals;
    HuffmanTable fixedDistances;
    bool fixedBuilt = false;
    // The fast decoder's tables of the same codes; `fast` false leaves every
    // symbol to the careful decoder.
    bool fast = true;
    FastCodes fastCodes;
    FastCodes fastFixedCodes;
    DiagnosticSink* diagnostics = &StandardOutputSink();
    // Set where a failure has a more precise reason than its result code.
    UnzipFailure failure = UnzipFailure::kNone;
};

}  // namespace imgdl::gzip
