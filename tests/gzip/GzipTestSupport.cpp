#include "GzipTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "common/ByteOrder.h"
#include "gzip/Diagnostics.h"
#include "gzip/GzipInflater.h"

namespace imgdl::test {
namespace {

class CollectingSink final : public gzip::DiagnosticSink {
  public:
    explicit CollectingSink(std::string& texts) : texts_(texts) {}
    void write(const char* text) override { texts_ += text; }

  private:
    std::string& texts_;
};

}  // namespace

UnzipRun RunUnzip(const Bytes& input, std::size_t regionSize, std::uint8_t filler) {
    Bytes in = input;
    UnzipRun run;
    run.region.assign(regionSize, filler);
    MemoryStream source = openMemoryStream(in.data(), in.size());
    MemoryStream target = openMemoryStream(run.region.data(), run.region.size());
    CollectingSink sink(run.printed);
    run.result = GzipInflater::unzip(source, target, sink, &run.failure);
    run.consumed = static_cast<std::size_t>(source.position - source.start);
    return run;
}

BitWriter& BitWriter::put(std::uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i, ++bitCount_) {
        if (bitCount_ % 8 == 0) bytes_.push_back(0);
        if ((value >> i) & 1u) bytes_.back() |= static_cast<std::uint8_t>(1u << (bitCount_ % 8));
    }
    return *this;
}

BitWriter& BitWriter::putCode(std::uint32_t code, unsigned length) {
    for (unsigned i = length; i-- > 0;) put((code >> i) & 1u, 1);
    return *this;
}

BitWriter& BitWriter::alignToByte() {
    bitCount_ = static_cast<unsigned>(bytes_.size() * 8);
    return *this;
}

BitWriter& BitWriter::putBytes(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    bitCount_ = static_cast<unsigned>(bytes_.size() * 8);
    return *this;
}

std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
    unsigned count[16] = {};
    for (auto len : lengths) ++count[len];
    count[0] = 0;
    std::uint32_t next[16] = {};
    std::uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
    return codes;
}

namespace {

constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

std::vector<std::uint8_t> CodeLengthCodeLengths() {
    std::vector<std::uint8_t> lengths(19, 4);
    for (unsigned s = 13; s < 19; ++s) lengths[s] = 5;
    return lengths;
}

}  // namespace

void PutDynamicHeader(BitWriter& bits, bool final, unsigned literalCount, unsigned distanceCount,
                      const std::vector<CodeLengthOp>& ops) {
    bits.put(final ? 1 : 0, 1).put(2, 2);
    bits.put(literalCount - 257, 5);  // HLIT
    bits.put(distanceCount - 1, 5);   // HDIST
    bits.put(19 - 4, 4);              // HCLEN: all 19 code-length code lengths follow
    const auto lengths = CodeLengthCodeLengths();
    for (auto symbol : kCodeLengthOrder) bits.put(lengths[symbol], 3);
    const auto codes = CanonicalCodes(lengths);
    for (const auto& op : ops) {
        bits.putCode(codes[op.symbol], lengths[op.symbol]);
        if (op.symbol == 16) bits.put(op.extra, 2);
        if (op.symbol == 17) bits.put(op.extra, 3);
        if (op.symbol == 18) bits.put(op.extra, 7);
    }
}

void PutDynamicHeader(BitWriter& bits, bool final, const std::vector<std::uint8_t>& literalLengths,
                      const std::vector<std::uint8_t>& distanceLengths) {
    std::vector<CodeLengthOp> ops;
    for (auto len : literalLengths) ops.push_back({len});
    for (auto len : distanceLengths) ops.push_back({len});
    PutDynamicHeader(bits, final, static_cast<unsigned>(literalLengths.size()),
                     static_cast<unsigned>(distanceLengths.size()), ops);
}

std::uint32_t Crc32Of(const Bytes& data) {
    return static_cast<std::uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
}

Bytes PlainHeader() {
    return {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
}

Bytes MakeMember(const Bytes& deflate, const Bytes& content, const Bytes& header) {
    Bytes member = header;
    member.insert(member.end(), deflate.begin(), deflate.end());
    std::uint8_t trailer[8];
    StoreLe32(trailer, Crc32Of(content));
    StoreLe32(trailer + 4, static_cast<std::uint32_t>(content.size()));
    member.insert(member.end(), trailer, trailer + 8);
    return member;
}

Bytes ZlibDeflate(const Bytes& data, int level, int strategy) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, -15, 9, strategy) != Z_OK) return {};
    Bytes out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16);
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) return {};
    return out;
}

Bytes ZlibMember(const Bytes& data, int level, int strategy) {
    return MakeMember(ZlibDeflate(data, level, strategy), data);
}

const char* DataKindName(DataKind kind) {
    switch (kind) {
        case DataKind::kText:
            return "text";
        case DataKind::kBinary:
            return "binary";
        case DataKind::kRuns:
            return "runs";
        case DataKind::kRandom:
            return "random";
        case DataKind::kPeriods:
            return "periods";
    }
    return "?";
}

Bytes MakeData(DataKind kind, std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes data;
    data.reserve(size + 1024);
    static const char* const kWords[] = {
        "the ", "recorder ", "firmware ", "image ",     "version ", "download ", "camera ", "of ",
        "a ",   "and ",      "\n",        "$version: ", "1.2.3 ",   "channel ",  "PTZ ",    "to "};
    while (data.size() < size) {
        switch (kind) {
            case DataKind::kText: {
                const std::string word = kWords[rng() % 16];
                data.insert(data.end(), word.begin(), word.end());
                break;
            }
            case DataKind::kBinary: {
                // Instruction-like words: a few opcodes, small operands, some zero padding.
                const std::uint32_t op = 0xE5900000u | ((rng() % 8) << 16) | (rng() % 64);
                for (int i = 0; i < 4; ++i)
                    data.push_back(static_cast<std::uint8_t>(op >> (8 * i)));
                if (rng() % 16 == 0) data.insert(data.end(), rng() % 64, 0);
                break;
            }
            case DataKind::kRuns:
                data.insert(data.end(), 1 + rng() % 1000, static_cast<std::uint8_t>(rng()));
                break;
            case DataKind::kRandom:
                data.push_back(static_cast<std::uint8_t>(rng()));
                break;
            case DataKind::kPeriods: {
                const std::size_t period = 2 + rng() % 6;
                const std::size_t start = data.size();
                for (std::size_t i = 0; i < period; ++i)
                    data.push_back(static_cast<std::uint8_t>(rng()));
                for (std::size_t i = 0, n = rng() % 300; i < n; ++i)
                    data.push_back(data[start + i % period]);
                break;
            }
        }
    }
    data.resize(size);
    return data;
}

}  // namespace imgdl::test

namespace imgdl::test {

void PutFixedSymbol(BitWriter& bits, unsigned symbol) {
    if (symbol < 144)
        bits.putCode(0x30 + symbol, 8);
    else if (symbol < 256)
        bits.putCode(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        bits.putCode(symbol - 256, 7);
    else
        bits.putCode(0xC0 + symbol - 280, 8);
}

}  // namespace imgdl::test
