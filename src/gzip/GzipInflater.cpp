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
constexpr int kFlagExtra = 0x04;
constexpr int kFlagName = 0x08;
constexpr int kFlagComment = 0x10;
constexpr std::size_t kTrailerSize = 8;

enum class Header { kAccepted, kBadMagic, kBadMethod, kCutShort };

void SkipZeroTerminated(MemoryStream& input) {
    while (!atEnd(input) && getByte(input) != 0) {
    }
}

// Only the flags for the extra field, the name and the comment are looked at;
// a header CRC flagged by 0x02 is not skipped.
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
    return Header::kAccepted;
}

// CRC and length behind the compressed data; a trailer cut short is a failure.
int CheckTrailer(MemoryStream& input, const gzip::InflateWindow& window) {
    if (static_cast<std::size_t>(input.end - input.position) < kTrailerSize) return 1;
    std::array<std::uint8_t, kTrailerSize> trailer{};
    readBytes(input, trailer.data(), trailer.size());
    if (LoadLe32(trailer.data()) != ~window.crc()) {
        gzip::PrintDiagnostic(gzip::kTextCrcError);
        return 1;
    }
    if (LoadLe32(trailer.data() + 4) != window.total()) {
        gzip::PrintDiagnostic(gzip::kTextLengthError);
        return 1;
    }
    return 0;
}

}  // namespace

int GzipInflater::unzip(MemoryStream& input, MemoryStream& output) {
    gzip::InflateState state(input);
    if (!state.window.allocate()) return 1;
    state.window.setOutput(output);

    switch (SkipHeader(input)) {
        case Header::kAccepted:
            break;
        case Header::kBadMagic:
            gzip::PrintDiagnostic(gzip::kTextBadMagic);
            return 1;
        case Header::kBadMethod:
            return -1;
        case Header::kCutShort:
            return 1;
    }

    state.bits = gzip::BitInput(input);
    const int result = gzip::InflateBlocks(state);
    if (result == gzip::kInflateNoMemory) {
        gzip::PrintDiagnostic(gzip::kTextMemoryExhausted);
        return 1;
    }
    if (result != gzip::kInflateOk) {
        gzip::PrintDiagnostic(gzip::kTextFormatViolated);
        return 1;
    }
    return CheckTrailer(input, state.window);
}

}  // namespace imgdl
