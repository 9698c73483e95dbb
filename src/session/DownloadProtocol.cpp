#include "session/DownloadProtocol.h"

#include "res/StringTable.h"

namespace imgdl {

std::optional<int> ErrorMessageId(int errorCode) {
    switch (errorCode) {
        case ERR_NETWORK:
            return IDS_CANT_INIT_NETWORK;
        case ERR_CONNECT:
            return IDS_CANT_CONNECT;
        case ERR_NOT_RECORDER:
            return IDS_NOT_DVR;
        case ERR_LENGTH:
            return IDS_CANT_CHECK_SIZE;
        case ERR_SEND:
            return IDS_CANT_SEND;
        case ERR_WRITE:
            return IDS_CANT_WRITE;
        case ERR_INCOMPATIBLE:
            return IDS_INCOMPATIBLE;
        default:
            return std::nullopt;
    }
}

std::string_view CommandName(std::uint32_t command) {
    switch (command) {
        case CMD_INTEGRATED_IMAGE:
            return "CMD_INTEGRATED_IMAGE";
        case CMD_APPLICATION_IMAGE:
            return "CMD_APPLICATION_IMAGE";
        case CMD_MAC_ADDRESS:
            return "CMD_MAC_ADDRESS";
        case CMD_SERIAL_NUMBER:
            return "CMD_SERIAL_NUMBER";
        case CMD_MAC_AND_SERIAL:
            return "CMD_MAC_AND_SERIAL";
        case CMD_PTZ_IMAGE:
            return "CMD_PTZ_IMAGE";
        case CMD_FIRMWARE_VERSION:
            return "CMD_FIRMWARE_VERSION";
        default:
            return {};
    }
}

}  // namespace imgdl

namespace imgdl {

std::string_view ErrorName(int errorCode) {
    switch (errorCode) {
        case ERR_NETWORK:
            return "ERR_NETWORK";
        case ERR_CONNECT:
            return "ERR_CONNECT";
        case ERR_NOT_RECORDER:
            return "ERR_NOT_RECORDER";
        case ERR_LENGTH:
            return "ERR_LENGTH";
        case ERR_SEND:
            return "ERR_SEND";
        case ERR_WRITE:
            return "ERR_WRITE";
        case ERR_INCOMPATIBLE:
            return "ERR_INCOMPATIBLE";
        default:
            return {};
    }
}

}  // namespace imgdl
