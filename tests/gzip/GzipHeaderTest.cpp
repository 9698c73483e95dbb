// The member header: magic, method, and which flags are looked at in which order.
#include <gtest/gtest.h>

#include "GzipTestSupport.h"
#include "gzip/GzipInflater.h"

namespace imgdl::test {
namespace {

// An empty fixed block marked final: bits 1, 01, then the 7-bit end-of-block code.
const Bytes kEmptyFixedBlock = {0x03, 0x00};
const Bytes kZeroTrailer(8, 0);

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct HeaderCase {
    const char* name;
    Bytes input;
    int result;
    std::string printed;
    UnzipFailure failure;
};

TEST(GzipHeader, MagicMethodAndFlags) {
    const Bytes sixBytes(6, 0);
    const std::vector<HeaderCase> cases = {
        {"empty input", {}, 1, kBadMagic, UnzipFailure::kBadMagic},
        {"one byte", {0x1F}, 1, kBadMagic, UnzipFailure::kBadMagic},
        {"wrong second magic byte",
         {0x1F, 0x8C, 8, 0, 0, 0, 0, 0, 0, 3},
         1,
         kBadMagic,
         UnzipFailure::kBadMagic},
        {"method 0", {0x1F, 0x8B, 0, 0, 0, 0, 0, 0, 0, 3, 3, 0}, -1, "", UnzipFailure::kBadMethod},
        {"input ends after the magic: method reads as 0xFF",
         {0x1F, 0x8B},
         -1,
         "",
         UnzipFailure::kBadMethod},
        {"input ends right after the extra-field length",
         Concat({{0x1F, 0x8B, 8, 0x04}, sixBytes, {0x10, 0x00}}), 1, "",
         UnzipFailure::kHeaderCutShort},
        {"extra field, name and comment, skipped in that order",
         Concat({{0x1F, 0x8B, 8, 0x1C},
                 sixBytes,
                 {0x04, 0x00, 0x00, 'x', 0x00, 'y'},  // extra: 4 bytes holding zeros
                 {'n', 'a', 'm', 'e', 0x00},          // file name
                 {'c', 'o', 'm', 0x00},               // comment
                 kEmptyFixedBlock,
                 kZeroTrailer}),
         0, "", UnzipFailure::kNone},
        {"header CRC: its two bytes are skipped (not checked), then the data",
         Concat({{0x1F, 0x8B, 8, 0x02}, sixBytes, {0x5A, 0xA5}, kEmptyFixedBlock, kZeroTrailer}), 0,
         "", UnzipFailure::kNone},
        {"header CRC after name and comment",
         Concat({{0x1F, 0x8B, 8, 0x1A},
                 sixBytes,
                 {'n', 0x00, 'c', 0x00, 0x12, 0x34},
                 kEmptyFixedBlock,
                 kZeroTrailer}),
         0, "", UnzipFailure::kNone},
        {"input ends inside the header CRC", Concat({{0x1F, 0x8B, 8, 0x02}, sixBytes, {0x5A}}), 1,
         "", UnzipFailure::kHeaderCutShort},
        {"text and reserved flags are ignored",
         Concat({{0x1F, 0x8B, 8, 0xE1}, sixBytes, kEmptyFixedBlock, kZeroTrailer}), 0, "",
         UnzipFailure::kNone},
        {"file name running to the end of the input",
         Concat({{0x1F, 0x8B, 8, 0x08}, sixBytes, {'a', 'b'}}), 1, kFormatViolated,
         UnzipFailure::kBadData},
        {"extra field longer than the input",
         Concat({{0x1F, 0x8B, 8, 0x04}, sixBytes, {0xFF, 0x00, 1, 2, 3}}), 1, kFormatViolated,
         UnzipFailure::kBadData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const UnzipRun run = RunUnzip(c.input, 16, 0xEE);
        EXPECT_EQ(run.result, c.result);
        EXPECT_EQ(run.printed, c.printed);
        EXPECT_EQ(run.failure, c.failure);
        EXPECT_EQ(run.region, Bytes(16, 0xEE));
    }
}

// A member as a header-CRC writer makes it: the CRC-16 is the low half of the
// CRC-32 of the header bytes before it.
TEST(GzipHeader, MemberWithHeaderCrcFromZlib) {
    const Bytes content = {'v', 'e', 'r', 's', 'i', 'o', 'n'};
    Bytes member = ZlibMember(content, 9, 0);
    member[3] |= 0x02;
    const Bytes header(member.begin(), member.begin() + 10);
    const std::uint32_t crc = Crc32Of(header);
    member.insert(member.begin() + 10,
                  {static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8)});
    const UnzipRun run = RunUnzip(member, content.size());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.region, content);
}

// Without a sink of the caller's, the texts go to standard output.
TEST(GzipHeader, DefaultDiagnosticsOnStandardOutput) {
    Bytes input = {0x1F, 0x8C};
    Bytes region(4);
    MemoryStream in = openMemoryStream(input.data(), input.size());
    MemoryStream out = openMemoryStream(region.data(), region.size());
    testing::internal::CaptureStdout();
    EXPECT_EQ(GzipInflater::unzip(in, out), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kBadMagic);
}

}  // namespace
}  // namespace imgdl::test
