#pragma once
// The editor's eleven parameter fields: where each stands, its label and the byte of
// the command it shows. Three columns, top to bottom.
#include <array>
#include <cstdint>

#include "ptz/PtzProtocol.h"
#include "ptztools/PtzDataEditorDialog.h"

namespace imgdl {

struct PtzParameterField {
    const char* objectName;
    const char* label;
    std::uint8_t PtzCommand::*member;
    int column;  // 0 to 2
    int row;     // the first column's row 0 holds Enable
};

inline constexpr std::array<PtzParameterField, kPtzParameterCount> kPtzParameterFields = {{
    {"repeatCountEdit", "Repeat\n Count", &PtzCommand::repeatCount, 0, 1},
    {"senderOffsetEdit", "Sender\n Offset", &PtzCommand::senderOffset, 0, 2},
    {"receiverOffsetEdit", "Receiver \n Offset", &PtzCommand::receiverOffset, 0, 3},
    {"checksumOffsetEdit", "Checksum\n Offset", &PtzCommand::checksumOffset, 1, 0},
    {"checksumStartOffsetEdit", "Checksum\n Start Offset", &PtzCommand::checksumStartOffset, 1, 1},
    {"checksumEndOffsetEdit", "Checksum\n End Offset", &PtzCommand::checksumEndOffset, 1, 2},
    {"checksumMethodEdit", "Checksum\n Method", &PtzCommand::checksumMethod, 1, 3},
    {"commandDelayEdit", "Command\n Delay", &PtzCommand::commandDelay, 2, 0},
    {"commandLengthEdit", "Command\n Length", &PtzCommand::commandLength, 2, 1},
    {"nextCommandEdit", "Next\n Command", &PtzCommand::nextCommand, 2, 2},
    {"dataFormatEdit", "Data Format", &PtzCommand::dataFormat, 2, 3},
}};

}  // namespace imgdl
