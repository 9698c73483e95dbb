#include <gtest/gtest.h>

#include "res/StringTable.h"

namespace imgdl {
namespace {

// Every text the operator can see, spelled out byte for byte: the odd spelling, the
// blank at the end of 123 and the double quote at the end of 121 are what stored habits
// and scripts match on.
TEST(StringTable, KeepsEveryTextByteForByte) {
    const struct {
        int id;
        std::string_view text;
    } cases[] = {
        {101, "Quorvel Information(&A)..."},
        {103, "It is failed to initialize Windows Socket."},
        {105, "It was occured a error during the network connection termination."},
        {106, "Can't initialize network."},
        {107, "Can't connect to the machine."},
        {108, "Can't check the image size."},
        {109, "It is not a DVR machine."},
        {111, "Can't send data to the network."},
        {112, "Can't write a firmware."},
        {113, "There is not image file."},
        {114, "Can't open the image file."},
        {115, "The size of the file is not valid."},
        {116, "Invalid MAC Address was inputed."},
        {117, "There is a invalid data. Please, input again."},
        {118, "This is a already exist code. Change to another code value."},
        {119, "It'll be lose modified valuse. Do you want to apply?"},
        {120, "It'll be change to current set value of all commands. Do you want to apply?"},
        {121, "It's different contents on same codes. Do you want to update on previous DB ?\""},
        {122, "There is a wrong number. Please, enter again."},
        {123, "This PTZ image file is invalid. "},
        {124, "The firmware is Incompatible with the DVR."},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadString(c.id), c.text) << c.id;
    EXPECT_EQ(LoadString(121).back(), '"');
    EXPECT_EQ(LoadString(123).back(), ' ');
}

TEST(StringTable, HoldsEveryIdAndNothingElse) {
    const int ids[] = {101, 103, 105, 106, 107, 108, 109, 111, 112, 113, 114,
                       115, 116, 117, 118, 119, 120, 121, 122, 123, 124};
    for (int id : ids) EXPECT_FALSE(LoadString(id).empty()) << id;
    for (int id : {0, 100, 102, 104, 110, 125, -1}) EXPECT_TRUE(LoadString(id).empty()) << id;
}

}  // namespace
}  // namespace imgdl
