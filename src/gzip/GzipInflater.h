#pragma once
// Decompression of one gzip member held whole in memory into a memory region.
#include <cstddef>
#include <cstdint>

namespace imgdl {

// A memory region read or written front to back.
struct MemoryStream {
    std::uint8_t* start = nullptr;
    std::uint8_t* end = nullptr;
    std::uint8_t* position = nullptr;
};

MemoryStream openMemoryStream(std::uint8_t* bytes, std::size_t length);
// The next byte (0..255), or 0xFF without moving when the stream is at its end.
int getByte(MemoryStream& stream);
bool atEnd(const MemoryStream& stream);
// Steps back one byte; -1 (and nothing changes) at the start, else 0.
int ungetByte(MemoryStream& stream);
// Copies as many of count bytes as fit; returns how many were copied.
std::size_t writeBytes(MemoryStream& stream, const std::uint8_t* bytes, std::size_t count);
// Copies count bytes from the position; the caller has checked that they are there.
void readBytes(MemoryStream& stream, std::uint8_t* destination, std::size_t count);

namespace gzip {
class DiagnosticSink;
}

// Why unzip gave up; kNone when it succeeded. Only the result code is part of the
// decompressor's contract; the reason is for tests and for callers that log.
enum class UnzipFailure {
    kNone,
    kBadMagic,
    kBadMethod,
    kHeaderCutShort,
    kBadData,  // bad or truncated DEFLATE data
    kBadCode,  // block type 3, over-subscribed code
    kIncompleteLiteralTree,
    kIncompleteDistanceTree,
    kNoMemory,
    kTrailerCutShort,
    kCrcMismatch,
    kLengthMismatch,
};

class GzipInflater {
  public:
    // Decompresses the member at input's position into output from its start.
    // 0: success (CRC and length matched); 1: failure; -1: method byte is not 8.
    // The diagnostic texts go to standard output.
    static int unzip(MemoryStream& input, MemoryStream& output);
    // The same, with the texts sent to diagnostics and the reason of a failure
    // stored in *failure when it is given.
    static int unzip(MemoryStream& input, MemoryStream& output, gzip::DiagnosticSink& diagnostics,
                     UnzipFailure* failure = nullptr);
};

}  // namespace imgdl
