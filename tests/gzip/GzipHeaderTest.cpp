// The member header: magic, method, and which flags are looked at in which order.
#include <gtest/gtest.h>

#include "GzipTestSupport.h"

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
};

TEST(GzipHeader, MagicMethodAndFlags) {
    const Bytes sixBytes(6, 0);
    const std::vector<HeaderCase> cases = {
        {"empty input", {}, 1, kBadMagic},
        {"one byte", {0x1F}, 1, kBadMagic},
        {"wrong second magic byte", {0x1F, 0x8C, 8, 0, 0, 0, 0, 0, 0, 3}, 1, kBadMagic},
        {"method 0", {0x1F, 0x8B, 0, 0, 0, 0, 0, 0, 0, 3, 3, 0}, -1, ""},
        {"input ends after the magic: method reads as 0xFF", {0x1F, 0x8B}, -1, ""},
        {"input ends right after the extra-field length",
         Concat({{0x1F, 0x8B, 8, 0x04}, sixBytes, {0x10, 0x00}}), 1, ""},
        {"extra field, name and comment, skipped in that order",
         Concat({{0x1F, 0x8B, 8, 0x1C},
                 sixBytes,
                 {0x04, 0x00, 0x00, 'x', 0x00, 'y'},  // extra: 4 bytes holding zeros
                 {'n', 'a', 'm', 'e', 0x00},          // file name
                 {'c', 'o', 'm', 0x00},               // comment
                 kEmptyFixedBlock,
                 kZeroTrailer}),
         0, ""},
        {"header CRC flag: the two bytes behind the header are compressed data",
         Concat({{0x1F, 0x8B, 8, 0x02}, sixBytes, kEmptyFixedBlock, kZeroTrailer}), 0, ""},
        {"text and reserved flags are ignored",
         Concat({{0x1F, 0x8B, 8, 0xE1}, sixBytes, kEmptyFixedBlock, kZeroTrailer}), 0, ""},
        {"file name running to the end of the input",
         Concat({{0x1F, 0x8B, 8, 0x08}, sixBytes, {'a', 'b'}}), 1, kFormatViolated},
        {"extra field longer than the input",
         Concat({{0x1F, 0x8B, 8, 0x04}, sixBytes, {0xFF, 0x00, 1, 2, 3}}), 1, kFormatViolated},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const UnzipRun run = RunUnzip(c.input, 16, 0xEE);
        EXPECT_EQ(run.result, c.result);
        EXPECT_EQ(run.printed, c.printed);
        EXPECT_EQ(run.region, Bytes(16, 0xEE));
    }
}

}  // namespace
}  // namespace imgdl::test
