#include "res/StringTable.h"

#include <algorithm>
#include <array>
#include <utility>

namespace imgdl {
namespace {

// Texts stand exactly as the operator has always seen them, odd spelling included;
// 123 ends in a blank and 121 in a double quote.
constexpr std::array<std::pair<int, std::string_view>, 21> kStrings{{
    {IDS_ABOUTBOX, "Quorvel Information(&A)..."},
    {IDS_SOCKETS_INIT_FAILED, "It is failed to initialize Windows Socket."},
    {IDS_TERMINATION_ERROR, "It was occured a error during the network connection termination."},
    {IDS_CANT_INIT_NETWORK, "Can't initialize network."},
    {IDS_CANT_CONNECT, "Can't connect to the machine."},
    {IDS_CANT_CHECK_SIZE, "Can't check the image size."},
    {IDS_NOT_DVR, "It is not a DVR machine."},
    {IDS_CANT_SEND, "Can't send data to the network."},
    {IDS_CANT_WRITE, "Can't write a firmware."},
    {IDS_NO_IMAGE_FILE, "There is not image file."},
    {IDS_CANT_OPEN_IMAGE, "Can't open the image file."},
    {IDS_INVALID_FILE_SIZE, "The size of the file is not valid."},
    {IDS_INVALID_MAC, "Invalid MAC Address was inputed."},
    {IDS_INVALID_DATA, "There is a invalid data. Please, input again."},
    {IDS_CODE_EXISTS, "This is a already exist code. Change to another code value."},
    {IDS_LOSE_MODIFIED, "It'll be lose modified valuse. Do you want to apply?"},
    {IDS_APPLY_ALL_COMMANDS,
     "It'll be change to current set value of all commands. Do you want to apply?"},
    {IDS_DIFFERENT_CONTENTS,
     "It's different contents on same codes. Do you want to update on previous DB ?\""},
    {IDS_WRONG_NUMBER, "There is a wrong number. Please, enter again."},
    {IDS_INVALID_PTZ_IMAGE, "This PTZ image file is invalid. "},
    {IDS_INCOMPATIBLE, "The firmware is Incompatible with the DVR."},
}};

}  // namespace

std::string_view LoadString(int id) {
    const auto it = std::find_if(kStrings.begin(), kStrings.end(),
                                 [id](const auto& entry) { return entry.first == id; });
    return it == kStrings.end() ? std::string_view{} : it->second;
}

}  // namespace imgdl
