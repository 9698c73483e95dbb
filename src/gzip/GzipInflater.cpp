// The gzip member around the DEFLATE data: header, decoding, trailer checks.
#include "gzip/GzipInflater.h"

#include <array>

#include "common/ByteOrder.h"
#include "gzip/Diagnostics.h"
#include "gzip/InflateBlocks.h"
#include "gzip/InflateState.h"

namespace imgdl {
namespace {

constexpr int kMethodDeflate = 8;
constexpr int kFlagHeaderCrc = 0x02;
constexpr int kFlagExtra = 0x04;
constexpr int kFlagName = 0x08;
constexpr int kFlagComment = 0x10;
constexpr std::size_t kTrailerSize = 8;

enum class Header { kAccepted, kBadMagic, kBadMethod, kCutShort };

void SkipZeroTerminated(MemoryStream& input) {
    while (!atEnd(input) && getByte(input) != 0) {
    }
}

// The optional fields in the order RFC 1952 lays them out. The header CRC is
// skipped, not checked: the trailer's CRC still guards every decoded byte.
Header SkipHeader(MemoryStream& input) {
    const int id1 = getByte(input);
    const int id2 = getByte(input);
    if (id1 != 0x1F || id2 != 0x8B) return Header::kBadMagic;
    if (getByte(input) != kMethodDeflate) return Header::kBadMethod;
    const int flags = getByte(input);
    for (int i = 0; i < 6; ++i) getByte(input);  // time, extra flags, operating system
    if (flags & kFlagExtra) {
        const int low = getByte(input);
        const int high = getByte(input);
        if (atEnd(input)) return Header::kCutShort;
        for (int n = low | (high << 8); n > 0; --n) getByte(input);
    }
    if (flags & kFlagName) SkipZeroTerminated(input);
    if (flags & kFlagComment) SkipZeroTerminated(input);
    if (flags & kFlagHeaderCrc) {
        if (input.end - input.position < 2) return Header::kCutShort;
        getByte(input);
        getByte(input);
    }
    return Header::kAccepted;
}

// CRC and length behind the compressed data; a trailer cut short is a failure.
UnzipFailure CheckTrailer(MemoryStream& input, const gzip::InflateWindow& window,
                          gzip::DiagnosticSink& diagnostics) {
    if (static_cast<std::size_t>(input.end - input.position) < kTrailerSize) {
        return UnzipFailure::kTrailerCutShort;
    }
    std::array<std::uint8_t, kTrailerSize> trailer{};
    readBytes(input, trailer.data(), trailer.size());
    if (LoadLe32(trailer.data()) != ~window.crc()) {
        diagnostics.write(gzip::kTextCrcError);
        return UnzipFailure::kCrcMismatch;
    }
    if (LoadLe32(trailer.data() + 4) != window.total()) {
        diagnostics.write(gzip::kTextLengthError);
        return UnzipFailure::kLengthMismatch;
    }
    return UnzipFailure::kNone;
}

UnzipFailure HeaderFailure(Header header, gzip::DiagnosticSink& diagnostics) {
    switch (header) {
        case Header::kAccepted:
            return UnzipFailure::kNone;
        case Header::kBadMagic:
            diagnostics.write(gzip::kTextBadMagic);
            return UnzipFailure::kBadMagic;
        case Header::kBadMethod:
            return UnzipFailure::kBadMethod;
        case Header::kCutShort:
            return UnzipFailure::kHeaderCutShort;
    }
    return UnzipFailure::kBadData;
}

UnzipFailure DecodeFailure(int result, const gzip::InflateState& state,
                           gzip::DiagnosticSink& diagnostics) {
    if (result == gzip::kInflateNoMemory) {
        diagnostics.write(gzip::kTextMemoryExhausted);
        return UnzipFailure::kNoMemory;
    }
    diagnostics.write(gzip::kTextFormatViolated);
    if (state.failure != UnzipFailure::kNone) return state.failure;
    return result == gzip::kInflateBadCode ? UnzipFailure::kBadCode : UnzipFailure::kBadData;
}

// The fast decoder reads ahead, so where a byte-at-a-time reader would have
// stopped in bad data is found again by decoding once more with the careful
// decoder alone, its output and texts dropped. Only failures pay for this.
void FailurePosition(MemoryStream& input, std::uint8_t* dataStart) {
    input.position = dataStart;
    MemoryStream nowhere = openMemoryStream(nullptr, 0);
    gzip::InflateState replay(input);
    if (!replay.window.allocate()) return;
    replay.fast = false;
    replay.diagnostics = &gzip::DiscardSink();
    replay.window.setOutput(nowhere);
    replay.window.setDiagnostics(gzip::DiscardSink());
    gzip::InflateBlocks(replay);
}

UnzipFailure Inflate(MemoryStream& input, MemoryStream& output, gzip::DiagnosticSink& diagnostics) {
    gzip::InflateState state(input);
    state.diagnostics = &diagnostics;
    if (!state.window.allocate()) return UnzipFailure::kNoMemory;
    state.window.setOutput(output);
    state.window.setDiagnostics(diagnostics);

    const UnzipFailure header = HeaderFailure(SkipHeader(input), diagnostics);
    if (header != UnzipFailure::kNone) return header;

    std::uint8_t* const dataStart = input.position;
    state.bits = gzip::BitInput(input);
    const int result = gzip::InflateBlocks(state);
    if (result != gzip::kInflateOk) {
        FailurePosition(input, dataStart);
        return DecodeFailure(result, state, diagnostics);
    }
    return CheckTrailer(input, state.window, diagnostics);
}

}  // namespace

int GzipInflater::unzip(MemoryStream& input, MemoryStream& output) {
    return unzip(input, output, gzip::StandardOutputSink());
}

int GzipInflater::unzip(MemoryStream& input, MemoryStream& output,
                        gzip::DiagnosticSink& diagnostics, UnzipFailure* failure) {
    const UnzipFailure why = Inflate(input, output, diagnostics);
    if (failure != nullptr) *failure = why;
    if (why == UnzipFailure::kNone) return 0;
    return why == UnzipFailure::kBadMethod ? -1 : 1;
}

}  // namespace imgdl
