#include "gzip/InflateBlocks.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "gzip/CodeLengths.h"
#include "gzip/DeflateSymbols.h"
#include "gzip/Diagnostics.h"
#include "gzip/InflateCodes.h"

namespace imgdl::gzip {
namespace {

constexpr unsigned kFixedLiteralWidth = 7;
constexpr unsigned kFixedDistanceWidth = 5;
constexpr unsigned kDynamicLiteralWidth = 9;
constexpr unsigned kDynamicDistanceWidth = 6;
constexpr unsigned kCodeLengthWidth = 7;

// Reads n bits (n <= 16) into value; false when the input runs out.
bool ReadBits(BitInput& bits, unsigned n, unsigned& value) {
    if (!bits.need(n)) return false;
    value = bits.peek(n);
    bits.drop(n);
    return true;
}

int InflateStored(InflateState& state) {
    BitInput& bits = state.bits;
    InflateWindow& window = state.window;
    bits.alignToByte();
    unsigned length = 0;
    unsigned complement = 0;
    if (!ReadBits(bits, 16, length)) return kInflateBadData;
    if (!bits.need(16)) return kInflateBadData;
    complement = bits.peek(16);
    if (length != (~complement & 0xFFFFu)) return kInflateBadData;
    bits.drop(16);
    // Reading LEN and NLEN from a byte boundary leaves no bits held, so the data
    // comes straight from the input, in runs that neither take its last byte nor
    // pass the window's end.
    while (length != 0) {
        const std::size_t run =
            std::min<std::size_t>({length, bits.spareBytes(), InflateWindow::kEnd - window.fill()});
        if (run == 0) {
            bits.need(8);  // fails, consuming the last byte as a byte fetch would
            return kInflateBadData;
        }
        std::memcpy(window.data() + window.fill(), bits.position(), run);
        bits.skipBytes(run);
        window.setFill(window.fill() + static_cast<unsigned>(run));
        if (window.fill() == InflateWindow::kEnd) window.flush();
        length -= static_cast<unsigned>(run);
    }
    return kInflateOk;
}

int InflateFixed(InflateState& state) {
    // The fixed tables are the same for every fixed block; make them once a call.
    if (!state.fixedBuilt) {
        std::array<std::uint8_t, 288> lengths{};
        std::fill(lengths.begin(), lengths.begin() + 144, 8);
        std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
        std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
        std::fill(lengths.begin() + 280, lengths.end(), 8);
        int result = BuildHuffmanTable(lengths, kLiteralLengthSymbols, kFixedLiteralWidth,
                                       state.fixedLiterals);
        if (result != kBuildComplete) return result;
        std::array<std::uint8_t, 30> distances{};
        distances.fill(5);
        // 30 of 32 five-bit codes: incomplete, which is accepted here.
        result = BuildHuffmanTable(distances, kDistanceSymbols, kFixedDistanceWidth,
                                   state.fixedDistances);
        if (result > kBuildIncomplete) return result;
        BuildFastCode(lengths, kLiteralLengthSymbols, state.fastFixedCodes.literals);
        BuildFastCode(distances, kDistanceSymbols, state.fastFixedCodes.distances);
        state.fixedBuilt = true;
    }
    BlockCodes codes;
    codes.literals = &state.fixedLiterals;
    codes.distances = &state.fixedDistances;
    if (state.fast) {
        codes.fast = &state.fastFixedCodes;
    }
    return InflateCodes(state, codes);
}

// One code of a dynamic block: the careful decoder's table, or, while the fast decoder
// runs, only that table's result and text, without the table: the fast decoder has its
// own, and the careful one may never be needed.
int MakeDynamicCode(InflateState& state, std::span<const std::uint8_t> lengths,
                    const SymbolSet& symbols, unsigned width, HuffmanTable& table,
                    const char* incompleteText, UnzipFailure incomplete) {
    const int result =
        state.fast ? CheckCodeLengths(lengths) : BuildHuffmanTable(lengths, symbols, width, table);
    if (result == kBuildIncomplete) {
        state.diagnostics->write(incompleteText);
        state.failure = incomplete;
    }
    return result;
}

int InflateDynamic(InflateState& state) {
    BitInput& bits = state.bits;
    unsigned literalCount = 0;
    unsigned distanceCount = 0;
    unsigned codeLengthCount = 0;
    if (!ReadBits(bits, 5, literalCount)) return kInflateBadData;
    if (!ReadBits(bits, 5, distanceCount)) return kInflateBadData;
    if (!ReadBits(bits, 4, codeLengthCount)) return kInflateBadData;
    literalCount += 257;
    distanceCount += 1;
    codeLengthCount += 4;
    if (literalCount > kMaxLiteralLengthCodes || distanceCount > kMaxDistanceCodes)
        return kInflateBadData;

    std::array<std::uint8_t, 19> codeLengthLengths{};
    for (unsigned i = 0; i < codeLengthCount; ++i) {
        unsigned len = 0;
        if (!ReadBits(bits, 3, len)) return kInflateBadData;
        codeLengthLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(len);
    }
    int result = BuildHuffmanTable(codeLengthLengths, kCodeLengthSymbols, kCodeLengthWidth,
                                   state.codeLengths);
    if (result != kBuildComplete) return result;

    std::array<std::uint8_t, kMaxLiteralLengthCodes + kMaxDistanceCodes> lengths{};
    result = ReadCodeLengths(bits, state.codeLengths, lengths.data(), literalCount + distanceCount,
                             state.fast);
    if (result != kInflateOk) return result;

    const std::span<const std::uint8_t> all(lengths.data(), literalCount + distanceCount);
    BlockCodes codes;
    codes.literals = &state.literals;
    codes.distances = &state.distances;
    codes.literalLengths = all.first(literalCount);
    codes.distanceLengths = all.subspan(literalCount);
    codes.literalWidth = kDynamicLiteralWidth;
    codes.distanceWidth = kDynamicDistanceWidth;
    result = MakeDynamicCode(state, codes.literalLengths, kLiteralLengthSymbols,
                             kDynamicLiteralWidth, state.literals, kTextIncompleteLiteral,
                             UnzipFailure::kIncompleteLiteralTree);
    if (result != kBuildComplete) return result;
    result = MakeDynamicCode(state, codes.distanceLengths, kDistanceSymbols, kDynamicDistanceWidth,
                             state.distances, kTextIncompleteDistance,
                             UnzipFailure::kIncompleteDistanceTree);
    if (result != kBuildComplete) return result;
    if (state.fast) {
        BuildFastCode(codes.literalLengths, kLiteralLengthSymbols, state.fastCodes.literals);
        BuildFastCode(codes.distanceLengths, kDistanceSymbols, state.fastCodes.distances);
        codes.fast = &state.fastCodes;
        codes.carefulMade = false;
    }
    return InflateCodes(state, codes);
}

int InflateBlock(InflateState& state, bool& last) {
    unsigned final = 0;
    unsigned type = 0;
    if (!ReadBits(state.bits, 1, final)) return kInflateBadData;
    if (!ReadBits(state.bits, 2, type)) return kInflateBadData;
    last = final != 0;
    switch (type) {
        case 0:
            return InflateStored(state);
        case 1:
            return InflateFixed(state);
        case 2:
            return InflateDynamic(state);
        default:
            return kInflateBadCode;
    }
}

}  // namespace

int InflateBlocks(InflateState& state) {
    bool last = false;
    while (!last) {
        const int result = InflateBlock(state, last);
        if (result != kInflateOk) {
            state.bits.commit();
            state.window.abandon();
            return result;
        }
    }
    state.bits.returnHeldBytes();
    state.window.finish();
    return kInflateOk;
}

}  // namespace imgdl::gzip
