// Feeds arbitrary bytes to GzipInflater::unzip twice, with a small and a large
// output region, and checks what must hold whatever the input:
// - the result does not depend on the region's size, nor does the position the
//   input is left at;
// - the small region holds the first bytes of the large one, and bytes behind
//   the decompressed data are left as they were;
// - whenever zlib decodes the first member without complaint (and the header has
//   no header CRC, which this decoder does not skip), the result is 0, the
//   output and the consumed bytes are the same as zlib's.
// The same bytes are also taken as bare DEFLATE data and wrapped into a member
// whose trailer zlib's output describes, so that mutated compressed data is
// compared too, not only inputs whose CRC happens to survive mutation.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gzip/GzipInflater.h"

namespace {

constexpr std::size_t kSmallRegion = 100;
constexpr std::size_t kLargeRegion = 1 << 20;
constexpr std::uint8_t kFiller = 0xA5;

struct Outcome {
    int result = 0;
    std::size_t consumed = 0;
    std::vector<std::uint8_t> region;
};

Outcome Run(const std::uint8_t* data, std::size_t size, std::size_t regionSize) {
    std::vector<std::uint8_t> input(data, data + size);  // own copy: exact bounds for ASan
    Outcome out;
    out.region.assign(regionSize, kFiller);
    imgdl::MemoryStream in = imgdl::openMemoryStream(input.data(), input.size());
    imgdl::MemoryStream dst = imgdl::openMemoryStream(out.region.data(), out.region.size());
    out.result = imgdl::GzipInflater::unzip(in, dst);
    out.consumed = static_cast<std::size_t>(in.position - in.start);
    if (in.position < in.start || in.position > in.end) std::abort();
    return out;
}

struct Reference {
    bool ok = false;
    std::size_t consumed = 0;
    std::vector<std::uint8_t> bytes;
};

// zlib's view of the first member (windowBits 16 + 15) or of bare DEFLATE data
// (-15), stopping once more than `limit` bytes came out.
Reference Inflate(const std::uint8_t* data, std::size_t size, std::size_t limit, int windowBits) {
    Reference ref;
    z_stream zs{};
    if (inflateInit2(&zs, windowBits) != Z_OK) return ref;
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = static_cast<uInt>(size);
    std::vector<std::uint8_t> chunk(65536);
    int rc = Z_OK;
    while (rc == Z_OK && ref.bytes.size() <= limit) {
        zs.next_out = chunk.data();
        zs.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&zs, Z_NO_FLUSH);
        ref.bytes.insert(ref.bytes.end(), chunk.data(), zs.next_out);
        if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out != 0) break;
    }
    ref.ok = rc == Z_STREAM_END;
    ref.consumed = size - zs.avail_in;
    inflateEnd(&zs);
    return ref;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "gzip_fuzz: %s\n", what);
        std::abort();
    }
}

void CheckAsMember(const std::uint8_t* data, std::size_t size) {
    const Outcome small = Run(data, size, kSmallRegion);
    const Outcome large = Run(data, size, kLargeRegion);
    Check(small.result == large.result, "result depends on the region size");
    Check(small.consumed == large.consumed, "consumed bytes depend on the region size");
    Check(std::equal(small.region.begin(), small.region.end(), large.region.begin()),
          "small region is not the start of the large one");

    const bool headerCrc = size > 3 && (data[3] & 0x02) != 0;
    if (headerCrc) return;
    const Reference ref = Inflate(data, size, kLargeRegion, 16 + 15);
    if (!ref.ok || ref.bytes.size() > kLargeRegion) return;
    Check(large.result == 0, "zlib accepts a member that unzip refuses");
    Check(large.consumed == ref.consumed, "consumed bytes differ from zlib");
    Check(std::equal(ref.bytes.begin(), ref.bytes.end(), large.region.begin()),
          "output differs from zlib");
    Check(std::all_of(large.region.begin() + static_cast<std::ptrdiff_t>(ref.bytes.size()),
                      large.region.end(), [](std::uint8_t b) { return b == kFiller; }),
          "bytes behind the output were changed");
}

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void CheckAsDeflate(const std::uint8_t* data, std::size_t size) {
    static constexpr std::uint8_t kHeader[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    std::vector<std::uint8_t> member(kHeader, kHeader + sizeof kHeader);
    const Reference ref = Inflate(data, size, kLargeRegion, -15);
    if (!ref.ok || ref.bytes.size() > kLargeRegion) {
        // Still worth running for what the sanitizers see.
        member.insert(member.end(), data, data + size);
        member.insert(member.end(), 8, 0);
        Run(member.data(), member.size(), kSmallRegion);
        return;
    }
    member.insert(member.end(), data, data + ref.consumed);
    AppendLe32(member, static_cast<std::uint32_t>(
                           crc32(0L, ref.bytes.data(), static_cast<uInt>(ref.bytes.size()))));
    AppendLe32(member, static_cast<std::uint32_t>(ref.bytes.size()));
    const std::size_t memberSize = member.size();
    member.insert(member.end(), data + ref.consumed, data + size);  // trailing bytes
    const Outcome out = Run(member.data(), member.size(), ref.bytes.size() + 16);
    Check(out.result == 0, "zlib decodes bare data that unzip refuses");
    Check(out.consumed == memberSize, "consumed bytes of bare data differ from zlib");
    Check(std::equal(ref.bytes.begin(), ref.bytes.end(), out.region.begin()),
          "output of bare data differs from zlib");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckAsMember(data, size);
    CheckAsDeflate(data, size);
    return 0;
}
