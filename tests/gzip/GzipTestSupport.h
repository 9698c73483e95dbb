#pragma once
// Helpers shared by the gzip tests: running unzip with its printed texts captured,
// a bit writer for hand-made DEFLATE data, and zlib as the reference compressor.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gzip/GzipInflater.h"

namespace imgdl::test {

using Bytes = std::vector<std::uint8_t>;

struct UnzipRun {
    int result = 0;
    UnzipFailure failure = UnzipFailure::kNone;
    std::string printed;       // every diagnostic text, in order
    Bytes region;              // the whole output region afterwards
    std::size_t consumed = 0;  // input bytes between the start and the final position
};

// Runs GzipInflater::unzip over a copy of input into a region of regionSize bytes
// filled with `filler`, collecting its diagnostics.
UnzipRun RunUnzip(const Bytes& input, std::size_t regionSize, std::uint8_t filler = 0);

// Bits least significant first, as DEFLATE packs them.
class BitWriter {
  public:
    BitWriter& put(std::uint32_t value, unsigned count);
    // A Huffman code goes most significant bit first.
    BitWriter& putCode(std::uint32_t code, unsigned length);
    BitWriter& alignToByte();
    BitWriter& putBytes(const Bytes& bytes);  // after alignToByte()
    unsigned bitCount() const { return bitCount_; }
    Bytes bytes() const { return bytes_; }

  private:
    Bytes bytes_;
    unsigned bitCount_ = 0;
};

// Canonical codes (RFC 1951, 3.2.2) of the given code lengths.
std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths);

// One symbol of the code-length code with its extra bits (16: 2, 17: 3, 18: 7).
struct CodeLengthOp {
    unsigned symbol;
    unsigned extra = 0;
};

// Writes a dynamic block header (final bit and type included): the counts, a
// complete code-length code (0..12 four bits, 13..18 five bits) and the ops.
void PutDynamicHeader(BitWriter& bits, bool final, unsigned literalCount, unsigned distanceCount,
                      const std::vector<CodeLengthOp>& ops);
// The same with every length sent as its own symbol.
void PutDynamicHeader(BitWriter& bits, bool final, const std::vector<std::uint8_t>& literalLengths,
                      const std::vector<std::uint8_t>& distanceLengths);

std::uint32_t Crc32Of(const Bytes& data);
// A 10-byte header with no flags.
Bytes PlainHeader();
// header + DEFLATE bytes + CRC and length of `content`.
Bytes MakeMember(const Bytes& deflate, const Bytes& content, const Bytes& header = PlainHeader());
// zlib's raw DEFLATE data for `data`.
Bytes ZlibDeflate(const Bytes& data, int level, int strategy);
// A whole member compressed by zlib.
Bytes ZlibMember(const Bytes& data, int level, int strategy);

// kPeriods: runs of a short random pattern (2 to 7 bytes) repeated up to 300
// bytes, which compress to matches whose distance is shorter than their length.
enum class DataKind { kText, kBinary, kRuns, kRandom, kPeriods };
const char* DataKindName(DataKind kind);
Bytes MakeData(DataKind kind, std::size_t size, std::uint32_t seed = 1);

}  // namespace imgdl::test

namespace imgdl::test {

// Fixed-code symbols (RFC 1951, 3.2.6).
void PutFixedSymbol(BitWriter& bits, unsigned symbol);
inline void PutFixedDistance(BitWriter& bits, unsigned symbol) {
    bits.putCode(symbol, 5);
}

inline constexpr const char* kBadMagic = "Invalid gzip magic\n";
inline constexpr const char* kFormatViolated = "invalid compressed data--format violated\n";
inline constexpr const char* kCrcError = "invalid compressed data--crc error\n";
inline constexpr const char* kLengthError = "invalid compressed data--length error\n";
inline constexpr const char* kIncompleteLiteral = "Incomplete literal tree\n";
inline constexpr const char* kIncompleteDistance = "incomplete distance tree\n";
inline constexpr const char* kCouldntWrite = "Couldnt write\n";

}  // namespace imgdl::test
