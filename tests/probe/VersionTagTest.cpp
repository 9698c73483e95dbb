#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/VersionTag.h"

namespace imgdl {
namespace {

std::int32_t Find(const std::string& text) {
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    return FindVersionTag(bytes);
}

TEST(VersionTag, ReadsTheFirstCompleteTag) {
    const struct {
        const char* text;
        std::int32_t expected;
    } cases[] = {
        {"abc $version: 1.2.3 $ def", 0x01020300},
        {"$version: 2.10.0 $", 0x020A0000},
        {"$version: 0.0.0 $", 0},
        {"$version: 1.2 $", -1},                      // two numbers
        {"$version:1.2.3 $", -1},                     // no blank after the colon
        {"$$version: 1.2.3 $", 0x01020300},           // resumes at the second '$'
        {"$vers$version: 4.5.6 $", 0x04050600},       // resumes at the differing '$'
        {"$version: x.2.3 $ $version: 1.2.3 $", -1},  // only the first tag counts
        {"$version:  \t+7.-1.3 $", 0x06FF0300},       // blanks and signs as scanf reads
        {"$version: 1.2.3", 0x01020300},              // trailing " $" need not match
        {"$version: 1 .2.3 $", -1},                   // '.' must follow directly
        {"$version: 1. 2. 3 $", 0x01020300},          // %d skips blanks itself
        {"$version: 256.0.1 $", 0x00000100},          // 32-bit arithmetic
        {"no tag at all", -1},
        {"", -1},
        {"$versio", -1},  // tag cut by the region's end
        {"$version: ", -1},
        {"$version: 1.2.", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(Find(c.text), c.expected) << c.text;
}

TEST(VersionTag, StopsAtZeroByteAndRegionEnd) {
    std::string text = "$version: 1.2";
    text.push_back('\0');
    text += ".3 $";
    EXPECT_EQ(Find(text), -1);
    // Digits up to the very last byte: read without passing the end.
    EXPECT_EQ(Find("$version: 9.8.77777"), VersionValue(9, 8, 77777));
}

TEST(VersionTag, HugeNumbersClampLikeTheCLibrary) {
    // strtol clamps to LONG_MAX, which an int store truncates to -1.
    EXPECT_EQ(Find("$version: 99999999999999999999999.0.0 $"), VersionValue(-1, 0, 0));
}

}  // namespace
}  // namespace imgdl
