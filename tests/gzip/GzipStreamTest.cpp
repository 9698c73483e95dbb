// DEFLATE data and trailer: hand-made blocks for every failure and edge case,
// each with the exact texts printed, plus truncation, flushing and the position
// the input is left at.
#include <gtest/gtest.h>

#include <zlib.h>
#include <functional>

#include "GzipTestSupport.h"

namespace imgdl::test {
namespace {

struct StreamCase {
    const char* name;
    std::function<void(BitWriter&)> write;  // the DEFLATE bits
    Bytes content;                          // what the trailer describes
    int result;
    std::string printed;
};

// Literal/length lengths for HLIT + 257 = 258 symbols, all 0 but the given ones.
std::vector<std::uint8_t> LiteralLengths(
    std::initializer_list<std::pair<unsigned, std::uint8_t>> used, std::size_t count = 258) {
    std::vector<std::uint8_t> lengths(count, 0);
    for (auto [symbol, len] : used) lengths[symbol] = len;
    return lengths;
}

const std::string kIncompleteLiteralThenViolated =
    std::string(kIncompleteLiteral) + kFormatViolated;
const std::string kIncompleteDistanceThenViolated =
    std::string(kIncompleteDistance) + kFormatViolated;

// A literal code of 'a' (1 bit), end of block and length 3 (2 bits each).
const auto kSmallLiterals = LiteralLengths({{'a', 1}, {256, 2}, {257, 2}});

void WriteSmallDynamic(BitWriter& b, const std::vector<std::uint8_t>& distanceLengths,
                       bool withMatch) {
    PutDynamicHeader(b, true, kSmallLiterals, distanceLengths);
    const auto codes = CanonicalCodes(kSmallLiterals);  // 'a' 0, 256 10, 257 11
    b.putCode(codes['a'], 1);
    if (withMatch) {
        b.putCode(codes[257], 2);                                           // length 3
        b.putCode(CanonicalCodes(distanceLengths)[0], distanceLengths[0]);  // distance 1
    }
    b.putCode(codes[256], 2);
}

TEST(GzipStream, HandMadeBlocks) {
    const Bytes aaaa = {'a', 'a', 'a', 'a'};
    const std::vector<StreamCase> cases = {
        {"empty final stored block",
         [](BitWriter& b) {
             b.put(1, 1).put(0, 2).alignToByte();  // final, stored
             b.put(0, 16).put(0xFFFF, 16);         // LEN 0, NLEN
         },
         {},
         0,
         ""},
        {"stored block, then fixed block",
         [](BitWriter& b) {
             b.put(0, 1).put(0, 2).alignToByte();
             b.put(2, 16).put(0xFFFD, 16).putBytes({'h', 'i'});
             b.put(1, 1).put(1, 2);  // final, fixed
             PutFixedSymbol(b, '!');
             PutFixedSymbol(b, 256);
         },
         {'h', 'i', '!'},
         0,
         ""},
        {"block type 3", [](BitWriter& b) { b.put(1, 1).put(3, 2); }, {}, 1, kFormatViolated},
        {"stored LEN and NLEN disagree",
         [](BitWriter& b) { b.put(1, 1).put(0, 2).alignToByte().put(1, 16).put(0xFFFF, 16); },
         {},
         1,
         kFormatViolated},
        {"length 258 at distance 1 repeats the previous byte",
         [](BitWriter& b) {
             b.put(1, 1).put(1, 2);
             PutFixedSymbol(b, 'x');
             PutFixedSymbol(b, 285);  // length 258, no extra bits
             PutFixedDistance(b, 0);  // distance 1
             PutFixedSymbol(b, 256);
         },
         Bytes(259, 'x'), 0, ""},
        {"distance before the first output byte reads the zero-filled window",
         [](BitWriter& b) {
             b.put(1, 1).put(1, 2);
             PutFixedSymbol(b, 'x');
             PutFixedSymbol(b, 257);  // length 3
             PutFixedDistance(b, 3);  // distance 4
             PutFixedSymbol(b, 256);
         },
         {'x', 0, 0, 0},
         0,
         ""},
        {"fixed literal/length symbol 286",
         [](BitWriter& b) {
             b.put(1, 1).put(1, 2);
             PutFixedSymbol(b, 286);
         },
         {},
         1,
         kFormatViolated},
        {"fixed distance symbol 30",
         [](BitWriter& b) {
             b.put(1, 1).put(1, 2);
             PutFixedSymbol(b, 'x');
             PutFixedSymbol(b, 257);
             PutFixedDistance(b, 30);
         },
         {},
         1,
         kFormatViolated},
        {"dynamic: HLIT gives 287 literal/length codes",
         [](BitWriter& b) { b.put(1, 1).put(2, 2).put(30, 5).put(0, 5).put(0, 4); },
         {},
         1,
         kFormatViolated},
        {"dynamic: HDIST gives 31 distance codes",
         [](BitWriter& b) { b.put(1, 1).put(2, 2).put(0, 5).put(30, 5).put(0, 4); },
         {},
         1,
         kFormatViolated},
        {"dynamic: single one-bit distance code is accepted",
         [](BitWriter& b) { WriteSmallDynamic(b, {1}, true); }, aaaa, 0, ""},
        {"dynamic: no distance codes, literals only",
         [](BitWriter& b) { WriteSmallDynamic(b, {0}, false); },
         {'a'},
         0,
         ""},
        {"dynamic: no distance codes when a length comes",
         [](BitWriter& b) { WriteSmallDynamic(b, {0}, true); },
         {},
         1,
         kFormatViolated},
        {"dynamic: incomplete literal/length code",
         [](BitWriter& b) {
             PutDynamicHeader(b, true, LiteralLengths({{'a', 2}, {256, 2}}), {1});
         },
         {},
         1,
         kIncompleteLiteralThenViolated},
        {"dynamic: incomplete distance code",
         [](BitWriter& b) {
             PutDynamicHeader(b, true, kSmallLiterals, {2, 2});
         },
         {},
         1,
         kIncompleteDistanceThenViolated},
        {"dynamic: over-subscribed literal/length code",
         [](BitWriter& b) {
             PutDynamicHeader(b, true, LiteralLengths({{'a', 1}, {'b', 1}, {256, 1}}), {1});
         },
         {},
         1,
         kFormatViolated},
        {"dynamic: no literal/length codes at all",
         [](BitWriter& b) {
             // 18 with extra 127: 138 zeros, then 120 zeros, then one distance length.
             PutDynamicHeader(b, true, 258, 1, {{18, 127}, {18, 109}, {1}});
         },
         {},
         1,
         kFormatViolated},
        {"dynamic: repeat running past the end of the lengths",
         [](BitWriter& b) {
             PutDynamicHeader(b, true, 257, 1, {{18, 127}, {18, 108}, {16, 3}});
         },
         {},
         1,
         kFormatViolated},
        {"dynamic: repeat at the start repeats length 0",
         [](BitWriter& b) {
             // 16 first: three zeros (symbols 0..2), then lengths as usual.
             std::vector<CodeLengthOp> ops = {{16, 0}};
             for (std::size_t s = 3; s < kSmallLiterals.size(); ++s)
                 ops.push_back({kSmallLiterals[s]});
             ops.push_back({1});
             PutDynamicHeader(b, true, 258, 1, ops);
             b.putCode(0, 1);  // 'a'
             b.putCode(2, 2);  // end of block
         },
         {'a'},
         0,
         ""},
        {"dynamic: no code-length codes at all",
         [](BitWriter& b) {
             b.put(1, 1).put(2, 2).put(0, 5).put(0, 5).put(0, 4);  // HCLEN 4
             b.put(0, 3).put(0, 3).put(0, 3).put(0, 3);            // all four lengths 0
             b.put(0, 16);
         },
         {},
         1,
         kFormatViolated},
        {"dynamic: one-bit code-length code, unused code met",
         [](BitWriter& b) {
             b.put(1, 1).put(2, 2).put(0, 5).put(0, 5).put(0, 4);  // HCLEN 4
             b.put(0, 3).put(0, 3).put(0, 3).put(1, 3);            // 16, 17, 18: 0; 0: 1 bit
             b.put(0xFFFF, 16);                                    // code 1 is unused
         },
         {},
         1,
         kFormatViolated},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter bits;
        c.write(bits);
        const Bytes member = MakeMember(bits.bytes(), c.content);
        const UnzipRun run = RunUnzip(member, 1024, 0xEE);
        EXPECT_EQ(run.result, c.result);
        EXPECT_EQ(run.printed, c.printed);
        if (c.result == 0) {
            EXPECT_EQ(Bytes(run.region.begin(), run.region.begin() + c.content.size()), c.content);
            EXPECT_EQ(run.region[c.content.size()], 0xEE);
            EXPECT_EQ(run.consumed, member.size());
        }
    }
}

TEST(GzipStream, TrailerIsReadFromTheByteAfterTheDataWhateverTheBitsHeld) {
    // 9-bit literals shift where the final block ends within its last byte; the
    // member is followed by bytes that must not be taken.
    for (unsigned nineBit = 0; nineBit < 16; ++nineBit) {
        for (unsigned eightBit : {0u, 1u, 5u}) {
            SCOPED_TRACE(testing::Message()
                         << nineBit << " nine-bit, " << eightBit << " eight-bit");
            BitWriter bits;
            bits.put(1, 1).put(1, 2);
            Bytes content;
            for (unsigned i = 0; i < nineBit; ++i)
                content.push_back(static_cast<std::uint8_t>(200 + i));
            for (unsigned i = 0; i < eightBit; ++i) content.push_back('e');
            for (auto byte : content) PutFixedSymbol(bits, byte);
            PutFixedSymbol(bits, 256);
            const Bytes member = MakeMember(bits.bytes(), content);
            Bytes input = member;
            input.insert(input.end(), {0x1F, 0x8B, 0, 0, 0});
            const UnzipRun run = RunUnzip(input, 64);
            EXPECT_EQ(run.result, 0);
            EXPECT_EQ(run.printed, "");
            EXPECT_EQ(run.consumed, member.size());
            EXPECT_EQ(Bytes(run.region.begin(), run.region.begin() + content.size()), content);
        }
    }
}

TEST(GzipStream, OnlyTheFirstMemberIsDecoded) {
    const Bytes first = MakeData(DataKind::kText, 5000, 1);
    const Bytes second = MakeData(DataKind::kText, 3000, 2);
    const Bytes one = ZlibMember(first, 6, Z_DEFAULT_STRATEGY);
    const std::vector<std::pair<const char*, Bytes>> tails = {
        {"another member", ZlibMember(second, 6, Z_DEFAULT_STRATEGY)},
        {"trailing zeros", Bytes(100, 0)},
        {"one stray byte", Bytes{0x42}},
    };
    for (const auto& [name, tail] : tails) {
        SCOPED_TRACE(name);
        Bytes input = one;
        input.insert(input.end(), tail.begin(), tail.end());
        const UnzipRun run = RunUnzip(input, 10000, 0xEE);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.printed, "");
        EXPECT_EQ(run.consumed, one.size());
        EXPECT_EQ(Bytes(run.region.begin(), run.region.begin() + 5000), first);
        EXPECT_EQ(run.region[5000], 0xEE);
    }
}

TEST(GzipStream, TrailerChecksPrintOneTextEach) {
    const Bytes content = MakeData(DataKind::kText, 1000);
    const Bytes good = ZlibMember(content, 9, Z_DEFAULT_STRATEGY);
    const std::size_t crcAt = good.size() - 8;
    const std::size_t lengthAt = good.size() - 4;
    struct TrailerCase {
        const char* name;
        std::vector<std::size_t> flipped;
        std::string printed;
    };
    const std::vector<TrailerCase> cases = {
        {"right CRC, wrong length", {lengthAt}, kLengthError},
        {"wrong CRC, right length", {crcAt}, kCrcError},
        {"wrong CRC and wrong length", {crcAt + 3, lengthAt + 3}, kCrcError},
        {"length wrong only above 16 bits", {lengthAt + 2}, kLengthError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes member = good;
        for (auto at : c.flipped) member[at] ^= 0x01;
        const UnzipRun run = RunUnzip(member, 2000);
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(run.printed, c.printed);
        // The data was flushed before the trailer was looked at.
        EXPECT_EQ(Bytes(run.region.begin(), run.region.begin() + 1000), content);
    }
}

TEST(GzipStream, CutShortInsideTheDataOrTheTrailer) {
    const Bytes content = MakeData(DataKind::kText, 3000);
    const Bytes dynamic = ZlibMember(content, 9, Z_DEFAULT_STRATEGY);
    // Inside the compressed data (header is 10 bytes, trailer 8): always the format text.
    for (std::size_t size = 10; size <= dynamic.size() - 8; ++size) {
        SCOPED_TRACE(size);
        const UnzipRun run = RunUnzip(Bytes(dynamic.begin(), dynamic.begin() + size), 4000);
        ASSERT_EQ(run.result, 1);
        ASSERT_EQ(run.printed, kFormatViolated);
        ASSERT_EQ(run.consumed, size);
    }
    // Inside the trailer: a failure, and nothing read past the end (ASan checks).
    for (std::size_t missing = 1; missing < 8; ++missing) {
        SCOPED_TRACE(missing);
        const UnzipRun run = RunUnzip(Bytes(dynamic.begin(), dynamic.end() - missing), 4000);
        EXPECT_EQ(run.result, 1);
    }
    // A stored block fetches no bits beyond its data, so a trailer cut short is
    // met only at the trailer: no text.
    const Bytes stored = ZlibMember(content, 0, Z_DEFAULT_STRATEGY);
    for (std::size_t missing = 1; missing < 8; ++missing) {
        SCOPED_TRACE(missing);
        const UnzipRun run = RunUnzip(Bytes(stored.begin(), stored.end() - missing), 4000);
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(run.printed, "");
    }
    const UnzipRun noTrailer = RunUnzip(Bytes(stored.begin(), stored.end() - 8), 4000);
    EXPECT_EQ(noTrailer.result, 1);
    EXPECT_EQ(noTrailer.printed, kFormatViolated);
}

// Bad data deep inside a long block, where the decoder reads well ahead of the
// symbol it decodes: the input is still left where a byte-at-a-time reader
// stops, just past the bits of the request that found the bad code.
TEST(GzipStream, BadCodeAfterLongDataLeavesTheInputWhereAByteReaderStops) {
    for (const unsigned literals : {100u, 1000u, 1001u, 1002u, 1003u, 1004u, 1005u, 1006u, 1007u}) {
        SCOPED_TRACE(literals);
        BitWriter b;
        b.put(1, 1).put(1, 2);  // final fixed block
        for (unsigned i = 0; i < literals; ++i) PutFixedSymbol(b, 'a' + i % 26);
        PutFixedSymbol(b, 257);  // length 3, 7 bits
        // The distance code is read with a 5-bit request; code 30 is invalid.
        const unsigned stop = (b.bitCount() + 5 + 7) / 8;
        PutFixedDistance(b, 30);
        PutFixedSymbol(b, 256);
        Bytes member = PlainHeader();
        const Bytes data = b.bytes();
        member.insert(member.end(), data.begin(), data.end());
        member.insert(member.end(), 64, 0);  // plenty of input behind
        const UnzipRun run = RunUnzip(member, 4000, 0xEE);
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(run.printed, kFormatViolated);
        EXPECT_EQ(run.consumed, PlainHeader().size() + stop);
        EXPECT_EQ(run.region[0], 0xEE);  // nothing was flushed
    }
}

// The same after a dynamic block whose distance code is read with wider
// requests than its codewords: a byte reader has fetched further by then than the
// bits of the failing request reach, and stops there.
TEST(GzipStream, BadBlockTypeAfterWideDistanceRequestsLeavesTheInputWhereAByteReaderStops) {
    const auto literals = LiteralLengths({{'a', 2}, {256, 1}, {257, 2}});  // width 2
    const std::vector<std::uint8_t> distances = {1, 2, 3, 4, 5, 6, 6};     // width 6
    const auto lcodes = CanonicalCodes(literals);
    const auto dcodes = CanonicalCodes(distances);
    // Literals take 2 bits and matches 3: every bit position comes up.
    for (unsigned count = 300; count < 316; ++count) {
        SCOPED_TRACE(count);
        BitWriter b;
        PutDynamicHeader(b, false, literals, distances);
        for (unsigned i = 0; i < count; ++i) b.putCode(lcodes['a'], 2);
        for (unsigned i = 0; i < count % 3; ++i) b.putCode(lcodes[257], 2).putCode(dcodes[0], 1);
        b.putCode(lcodes[257], 2);  // length 3
        const unsigned distanceAt = b.bitCount();
        b.putCode(dcodes[0], 1);    // distance 1, read with a 6-bit request
        b.putCode(lcodes[256], 1);  // end of block
        b.put(1, 1).put(3, 2);      // final block of type 3
        const unsigned typeEnd = b.bitCount();
        const unsigned reach = std::max(distanceAt + 6, typeEnd);
        const unsigned stop = (reach + 7) / 8;
        Bytes member = PlainHeader();
        const Bytes data = b.bytes();
        member.insert(member.end(), data.begin(), data.end());
        member.insert(member.end(), 64, 0);
        const UnzipRun run = RunUnzip(member, 4000, 0xEE);
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(run.printed, kFormatViolated);
        EXPECT_EQ(run.consumed, PlainHeader().size() + stop);
    }
}

std::string Repeat(const char* text, std::size_t times) {
    std::string all;
    for (std::size_t i = 0; i < times; ++i) all += text;
    return all;
}

TEST(GzipStream, WindowFlushesAt32768AndOnceAtTheEnd) {
    // With no room at all every flush that has bytes reports it; the result is
    // still 0 because the dropped bytes count in the CRC and the length.
    const std::vector<std::pair<std::size_t, std::size_t>> sizesAndFlushes = {
        {0, 0}, {1, 1}, {32767, 1}, {32768, 1}, {32769, 2}, {65536, 2}, {65537, 3}};
    for (auto [size, flushes] : sizesAndFlushes) {
        SCOPED_TRACE(size);
        const Bytes content = MakeData(DataKind::kBinary, size);
        for (int level : {0, 6}) {
            const UnzipRun run = RunUnzip(ZlibMember(content, level, Z_DEFAULT_STRATEGY), 0);
            EXPECT_EQ(run.result, 0);
            EXPECT_EQ(run.printed, Repeat(kCouldntWrite, flushes));
        }
    }
}

TEST(GzipStream, OutputLargerThanTheRegionKeepsItsFirstBytes) {
    const Bytes content = MakeData(DataKind::kText, 100000);
    const Bytes member = ZlibMember(content, 6, Z_DEFAULT_STRATEGY);
    // 100000 bytes flush at 32768, 65536, 98304 and at the end.
    const std::vector<std::pair<std::size_t, std::size_t>> regionsAndTexts = {
        {1000, 4}, {32768, 3}, {40000, 3}, {70000, 2}, {99999, 1}, {100000, 0}};
    for (auto [region, texts] : regionsAndTexts) {
        SCOPED_TRACE(region);
        const UnzipRun run = RunUnzip(member, region);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.printed, Repeat(kCouldntWrite, texts));
        EXPECT_EQ(run.region, Bytes(content.begin(), content.begin() + region));
    }
}

}  // namespace
}  // namespace imgdl::test
