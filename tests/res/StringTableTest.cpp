#include <gtest/gtest.h>

#include "res/StringTable.h"

namespace imgdl {
namespace {

// The texts whose exact bytes are easy to lose: trailing blank, trailing quote, odd
// spelling that stored habits and scripts match on.
TEST(StringTable, KeepsTextsByteForByte) {
    const struct {
        int id;
        std::string_view text;
    } cases[] = {
        {123, "This PTZ image file is invalid. "},
        {121, "It's different contents on same codes. Do you want to update on previous DB ?\""},
        {101, "Quorvel Information(&A)..."},
        {119, "It'll be lose modified valuse. Do you want to apply?"},
        {105, "It was occured a error during the network connection termination."},
        {124, "The firmware is Incompatible with the DVR."},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadString(c.id), c.text) << c.id;
}

TEST(StringTable, HoldsEveryIdAndNothingElse) {
    const int ids[] = {101, 103, 105, 106, 107, 108, 109, 111, 112, 113, 114,
                       115, 116, 117, 118, 119, 120, 121, 122, 123, 124};
    for (int id : ids) EXPECT_FALSE(LoadString(id).empty()) << id;
    for (int id : {0, 100, 102, 104, 110, 125, -1}) EXPECT_TRUE(LoadString(id).empty()) << id;
}

}  // namespace
}  // namespace imgdl
