// Differential check of GzipInflater::unzip against zlib. The input's first two
// bytes pick the size of the output region; the rest is taken as bare DEFLATE data
// and wrapped into a member whose trailer describes what zlib makes of it. zlib
// starts from a window of 32 KiB zeros, as unzip does, so that a distance reaching
// back before the first byte means the same to both.
// - zlib decodes it: unzip returns 0, the region holds zlib's first bytes up to its
//   size and the caller's bytes behind them, the input stands right behind the
//   trailer, and "Couldnt write" is printed once per 32 KiB flush that did not fit.
// - zlib refuses it: unzip returns 1 (two codes zlib refuses at once and unzip
//   takes further are left out), and the region holds zlib's bytes, when decoding failed only whole
//   32 KiB flushes (or up to the region's end), with the caller's bytes behind.
//   The eight zeros that stand in for the trailer may complete truncated data for
//   unzip; then zlib must agree when given them too.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gzip/Diagnostics.h"
#include "gzip/GzipInflater.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kFlushUnit = 32768;
constexpr std::size_t kOutputLimit = 1 << 18;
constexpr std::uint8_t kFillers[2] = {0xA5, 0x5A};

class CountingSink final : public imgdl::gzip::DiagnosticSink {
  public:
    void write(const char* text) override {
        if (std::strcmp(text, imgdl::gzip::kTextCouldntWrite) == 0) ++couldntWrite;
    }
    int couldntWrite = 0;
};

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "gzip_diff_fuzz: %s\n", what);
        std::abort();
    }
}

struct Reference {
    bool ok = false;
    bool refusedCodeLengths = false;  // zlib refuses codes unzip takes further
    std::size_t consumed = 0;
    Bytes bytes;
};

Reference ZlibInflate(const std::uint8_t* data, std::size_t size) {
    Reference ref;
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return ref;
    static const Bytes zeros(kFlushUnit, 0);
    inflateSetDictionary(&zs, zeros.data(), static_cast<uInt>(zeros.size()));
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = static_cast<uInt>(size);
    Bytes chunk(65536);
    int rc = Z_OK;
    while (rc == Z_OK && ref.bytes.size() <= kOutputLimit) {
        zs.next_out = chunk.data();
        zs.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&zs, Z_NO_FLUSH);
        ref.bytes.insert(ref.bytes.end(), chunk.data(), zs.next_out);
        if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out != 0) break;
    }
    ref.ok = rc == Z_STREAM_END;
    // zlib refuses a code-length code of one 1-bit code, which unzip accepts, and a
    // literal/length code without end of block, which unzip decodes until the
    // data runs out.
    ref.refusedCodeLengths = rc == Z_DATA_ERROR && zs.msg != nullptr &&
                             (std::strcmp(zs.msg, "invalid code lengths set") == 0 ||
                              std::strcmp(zs.msg, "invalid code -- missing end-of-block") == 0);
    ref.consumed = size - zs.avail_in;
    inflateEnd(&zs);
    return ref;
}

void AppendLe32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

struct Outcome {
    int result = 0;
    std::size_t consumed = 0;
    int couldntWrite = 0;
    imgdl::UnzipFailure failure = imgdl::UnzipFailure::kNone;
    Bytes region;
};

Outcome Run(const Bytes& member, std::size_t regionSize, std::uint8_t filler) {
    Bytes input = member;  // own copy: exact bounds for ASan
    Outcome out;
    out.region.assign(regionSize, filler);
    imgdl::MemoryStream in = imgdl::openMemoryStream(input.data(), input.size());
    imgdl::MemoryStream dst = imgdl::openMemoryStream(out.region.data(), out.region.size());
    CountingSink sink;
    out.result = imgdl::GzipInflater::unzip(in, dst, sink, &out.failure);
    out.consumed = static_cast<std::size_t>(in.position - in.start);
    out.couldntWrite = sink.couldntWrite;
    return out;
}

// Flushes of `total` bytes, 32 KiB each and the rest, that pass the region's end.
int FlushesThatDoNotFit(std::size_t total, std::size_t regionSize) {
    int count = 0;
    for (std::size_t end = kFlushUnit; end - kFlushUnit < total; end += kFlushUnit)
        if (std::min(end, total) > regionSize) ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Region sizes from 0 to about 320 KiB, odd ones included.
    const std::size_t regionSize = (std::size_t{data[0]} | std::size_t{data[1]} << 8) * 5;
    data += 2;
    size -= 2;

    const Reference ref = ZlibInflate(data, size);
    static constexpr std::uint8_t kHeader[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    Bytes member(kHeader, kHeader + sizeof kHeader);
    if (ref.ok) {
        member.insert(member.end(), data, data + ref.consumed);
        AppendLe32(member, static_cast<std::uint32_t>(
                               crc32(0L, ref.bytes.data(), static_cast<uInt>(ref.bytes.size()))));
        AppendLe32(member, static_cast<std::uint32_t>(ref.bytes.size()));
    } else {
        member.insert(member.end(), data, data + size);
        member.insert(member.end(), 8, 0);
    }
    const std::size_t memberSize = member.size();
    if (ref.ok) member.insert(member.end(), data + ref.consumed, data + size);  // trailing bytes

    const Outcome a = Run(member, regionSize, kFillers[0]);
    const Outcome b = Run(member, regionSize, kFillers[1]);
    Check(a.result == b.result && a.consumed == b.consumed && a.couldntWrite == b.couldntWrite,
          "the region's old contents change the outcome");
    // Bytes unzip wrote are those where both runs agree.
    std::size_t written = 0;
    while (written < regionSize && a.region[written] == b.region[written]) ++written;
    for (std::size_t i = written; i < regionSize; ++i)
        Check(a.region[i] == kFillers[0] && b.region[i] == kFillers[1],
              "bytes behind the output were changed");

    if (ref.bytes.size() > kOutputLimit) return 0;
    if (ref.ok) {
        const std::size_t expected = std::min(regionSize, ref.bytes.size());
        Check(a.result == 0, "zlib accepts data that unzip refuses");
        Check(written == expected, "region holds the wrong number of bytes");
        Check(std::equal(a.region.begin(), a.region.begin() + static_cast<std::ptrdiff_t>(written),
                         ref.bytes.begin()),
              "output differs from zlib");
        Check(a.consumed == memberSize, "input not left behind the trailer");
        Check(a.couldntWrite == FlushesThatDoNotFit(ref.bytes.size(), regionSize),
              "wrong number of Couldnt write texts");
        return 0;
    }
    // unzip sees the eight zeros standing in for the trailer as more data.
    const Bytes padded(member.begin() + sizeof kHeader, member.end());
    const Reference seen = ZlibInflate(padded.data(), padded.size());
    if (ref.refusedCodeLengths || seen.refusedCodeLengths) return 0;
    const std::size_t common = std::min(written, seen.bytes.size());
    Check(std::equal(a.region.begin(), a.region.begin() + static_cast<std::ptrdiff_t>(common),
                     seen.bytes.begin()),
          "output differs from zlib");
    if (a.result == 0) {
        Check(seen.ok && seen.bytes.empty(), "zlib refuses data that unzip accepts");
        return 0;
    }
    Check(a.result == 1, "unexpected result");
    if (a.failure == imgdl::UnzipFailure::kTrailerCutShort ||
        a.failure == imgdl::UnzipFailure::kCrcMismatch ||
        a.failure == imgdl::UnzipFailure::kLengthMismatch) {
        return 0;  // the data decoded, so it was flushed whole
    }
    Check(written % kFlushUnit == 0 || written == regionSize, "a partial flush reached the region");
    Check(written <= seen.bytes.size(), "more bytes flushed than zlib decoded");
    return 0;
}
