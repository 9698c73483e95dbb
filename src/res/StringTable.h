#pragma once
// The program's own messages by number, exactly as the operator sees them.
#include <string_view>

namespace imgdl {

enum StringId : int {
    IDS_ABOUTBOX = 101,
    IDS_SOCKETS_INIT_FAILED = 103,
    IDS_TERMINATION_ERROR = 105,
    IDS_CANT_INIT_NETWORK = 106,
    IDS_CANT_CONNECT = 107,
    IDS_CANT_CHECK_SIZE = 108,
    IDS_NOT_DVR = 109,
    IDS_CANT_SEND = 111,
    IDS_CANT_WRITE = 112,
    IDS_NO_IMAGE_FILE = 113,
    IDS_CANT_OPEN_IMAGE = 114,
    IDS_INVALID_FILE_SIZE = 115,
    IDS_INVALID_MAC = 116,
    IDS_INVALID_DATA = 117,
    IDS_CODE_EXISTS = 118,
    IDS_LOSE_MODIFIED = 119,
    IDS_APPLY_ALL_COMMANDS = 120,
    IDS_DIFFERENT_CONTENTS = 121,
    IDS_WRONG_NUMBER = 122,
    IDS_INVALID_PTZ_IMAGE = 123,
    IDS_INCOMPATIBLE = 124,
};

// The text of an id; empty for an id the table does not hold.
std::string_view LoadString(int id);

// The dialog framework's own prompt for a field that must hold an unsigned integer.
inline constexpr std::string_view kPositiveIntegerPrompt = "양의 정수를 입력하십시오.";

}  // namespace imgdl
