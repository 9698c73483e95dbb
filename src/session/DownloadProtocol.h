#pragma once
// The words of the recorder download protocol, the codes a session reports. One place for every
// number both ends of a session agree on.
#include <cstdint>
#include <optional>
#include <string_view>

namespace imgdl {

// Command codes: the high half is always 0x55AB, the low half names the payload.
inline constexpr std::uint32_t CMD_INTEGRATED_IMAGE = 0x55AB0001;
inline constexpr std::uint32_t CMD_APPLICATION_IMAGE = 0x55AB0003;
inline constexpr std::uint32_t CMD_MAC_ADDRESS = 0x55AB0005;
inline constexpr std::uint32_t CMD_SERIAL_NUMBER = 0x55AB0006;
inline constexpr std::uint32_t CMD_MAC_AND_SERIAL = 0x55AB0007;
inline constexpr std::uint32_t CMD_PTZ_IMAGE = 0x55AB0008;
inline constexpr std::uint32_t CMD_FIRMWARE_VERSION = 0x55AB0009;

// Reply words of the recorder.
inline constexpr std::uint32_t HANDSHAKE_REPLY_BASE = 0xAB550000;
inline constexpr std::uint32_t REPLY_ACK = 0xAB55AB55;
// Only ever an answer to CMD_FIRMWARE_VERSION.
inline constexpr std::uint32_t REPLY_INCOMPATIBLE = 0xAB55FF01;

// The reply that accepts a command: the base combined with the command's low half.
constexpr std::uint32_t HandshakeReply(std::uint32_t command) {
    return HANDSHAKE_REPLY_BASE | (command & 0xFFFFu);
}

// Session error codes (4 and 6 are not used).
inline constexpr int ERR_NETWORK = 1;
inline constexpr int ERR_CONNECT = 2;
inline constexpr int ERR_NOT_RECORDER = 3;
inline constexpr int ERR_LENGTH = 5;
inline constexpr int ERR_SEND = 7;
inline constexpr int ERR_WRITE = 8;
inline constexpr int ERR_INCOMPATIBLE = 9;

// Session stages.
inline constexpr int STAGE_SENDING = 2;
inline constexpr int STAGE_WRITING = 4;
inline constexpr int STAGE_DONE = 5;

// The string-table id of an error code's message; nothing for a code the protocol does
// not use.
std::optional<int> ErrorMessageId(int errorCode);

// The error code's name ("ERR_CONNECT"); empty for a code the protocol does not use.
std::string_view ErrorName(int errorCode);

// The command's name as written above ("CMD_PTZ_IMAGE"); empty for an unknown code.
std::string_view CommandName(std::uint32_t command);

}  // namespace imgdl
