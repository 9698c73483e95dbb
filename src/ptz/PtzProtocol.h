#pragma once
// One PTZ camera protocol: serial-line settings and forty command templates.
// The same 1796-byte layout is used in memory, in the protocol database file and in
// every slot of the PTZ image, so each field sits at a fixed offset (checked below).
// The struct has exactly the file layout; ToBytes/FromBytes still store the two
// integers little-endian explicitly so the files are identical on any host.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace imgdl {

inline constexpr int kPtzCommandCount = 40;
inline constexpr std::size_t kPtzCommandDataSize = 32;
inline constexpr std::size_t kPtzNameSize = 24;  // 23 characters and a NUL

// One command template. Every field is a byte the recorder interprets; this system
// only stores and edits them. The order is the file's, not the editor's.
struct PtzCommand {
    static constexpr std::size_t kSize = 44;

    std::uint8_t enable = 0;  // 0 "Off", 1 "On"
    std::uint8_t repeatCount = 0;
    std::uint8_t senderOffset = 0;
    std::uint8_t receiverOffset = 0;
    std::uint8_t checksumOffset = 0;
    std::uint8_t checksumStartOffset = 0;
    std::uint8_t checksumEndOffset = 0;
    std::uint8_t commandDelay = 0;
    std::uint8_t checksumMethod = 0;
    std::uint8_t commandLength = 0;
    std::uint8_t nextCommand = 0;
    std::uint8_t dataFormat = 0;
    std::array<std::uint8_t, kPtzCommandDataSize> data{};  // the command's bytes 0 to 31

    bool operator==(const PtzCommand&) const = default;
};

// The protocol record. Default construction gives 1796 zero bytes. Copying copies
// the whole record; == compares every byte, name bytes after the NUL included.
struct PtzProtocol {
    static constexpr std::size_t kSize = 1796;

    std::int32_t number = 0;  // the key; -1 is what an empty image slot reads as
    std::array<char, kPtzNameSize> name{};
    std::uint8_t parity = 0;                              // 0 NONE, 1 ODD, 3 EVEN
    std::uint8_t dataBits = 0;                            // 0..3 for 5..8 data bits
    std::uint8_t stopBits = 0;                            // 0 one, 1 two
    std::uint8_t reserved = 0;                            // carried unchanged by every operation
    std::int32_t baudRate = 0;                            // bits per second as typed
    std::array<PtzCommand, kPtzCommandCount> commands{};  // command k at 36 + 44 * k

    bool operator==(const PtzProtocol&) const = default;

    // The record as laid out in the files (little-endian integers).
    static PtzProtocol FromBytes(std::span<const std::uint8_t, kSize> bytes);
    void ToBytes(std::span<std::uint8_t, kSize> bytes) const;

    // Sets all 1796 bytes to 0.
    void ZeroFill();
    // A zero-filled record numbered `number`, named "New PTZ Protocol(%d)" cut to
    // 23 characters.
    static PtzProtocol MakeNew(std::int32_t number);

    // The name up to its first NUL, never past the 24th byte.
    std::string GetName() const;
    // Copies at most 23 characters (stopping at a NUL) and pads with NULs up to the
    // 23rd byte; the 24th byte keeps its value.
    void SetName(std::string_view text);
};

// Offsets of the file layout. Serialisation relies on the struct matching them.
namespace ptz_layout {
inline constexpr std::size_t kNumber = 0;
inline constexpr std::size_t kName = 4;
inline constexpr std::size_t kParity = 28;
inline constexpr std::size_t kDataBits = 29;
inline constexpr std::size_t kStopBits = 30;
inline constexpr std::size_t kReserved = 31;
inline constexpr std::size_t kBaudRate = 32;
inline constexpr std::size_t kCommands = 36;
inline constexpr std::size_t kCommandData = 12;
inline constexpr std::size_t CommandOffset(int k) {
    return kCommands + PtzCommand::kSize * static_cast<std::size_t>(k);
}
}  // namespace ptz_layout

static_assert(sizeof(PtzCommand) == PtzCommand::kSize);
static_assert(offsetof(PtzCommand, enable) == 0);
static_assert(offsetof(PtzCommand, repeatCount) == 1);
static_assert(offsetof(PtzCommand, senderOffset) == 2);
static_assert(offsetof(PtzCommand, receiverOffset) == 3);
static_assert(offsetof(PtzCommand, checksumOffset) == 4);
static_assert(offsetof(PtzCommand, checksumStartOffset) == 5);
static_assert(offsetof(PtzCommand, checksumEndOffset) == 6);
static_assert(offsetof(PtzCommand, commandDelay) == 7);
static_assert(offsetof(PtzCommand, checksumMethod) == 8);
static_assert(offsetof(PtzCommand, commandLength) == 9);
static_assert(offsetof(PtzCommand, nextCommand) == 10);
static_assert(offsetof(PtzCommand, dataFormat) == 11);
static_assert(offsetof(PtzCommand, data) == ptz_layout::kCommandData);

static_assert(sizeof(PtzProtocol) == PtzProtocol::kSize);
static_assert(offsetof(PtzProtocol, number) == ptz_layout::kNumber);
static_assert(offsetof(PtzProtocol, name) == ptz_layout::kName);
static_assert(offsetof(PtzProtocol, parity) == ptz_layout::kParity);
static_assert(offsetof(PtzProtocol, dataBits) == ptz_layout::kDataBits);
static_assert(offsetof(PtzProtocol, stopBits) == ptz_layout::kStopBits);
static_assert(offsetof(PtzProtocol, reserved) == ptz_layout::kReserved);
static_assert(offsetof(PtzProtocol, baudRate) == ptz_layout::kBaudRate);
static_assert(offsetof(PtzProtocol, commands) == ptz_layout::kCommands);
static_assert(ptz_layout::CommandOffset(35) == 1576);
static_assert(ptz_layout::CommandOffset(kPtzCommandCount) == PtzProtocol::kSize);

// The forty command names in index order (also the editor's Command Set list).
inline constexpr std::array<std::string_view, kPtzCommandCount> kPtzCommandNames = {
    "PTZCMD_AUTO_FOCUS", "PTZCMD_AUTO_FOCUS_2", "PTZCMD_AUTO_IRIS",  "PTZCMD_AUTO_IRIS_2",
    "PTZCMD_IDDISPLAY",  "PTZCMD_IDDISPLAY_2",  "PTZCMD_PAN_LEFT",   "PTZCMD_PAN_LEFT_2",
    "PTZCMD_PAN_RIGHT",  "PTZCMD_PAN_RIGHT_2",  "PTZCMD_TILT_UP",    "PTZCMD_TILT_UP_2",
    "PTZCMD_TILT_DOWN",  "PTZCMD_TILT_DOWN_2",  "PTZCMD_UPLEFT",     "PTZCMD_UPLEFT_2",
    "PTZCMD_UPRIGHT",    "PTZCMD_UPRIGHT_2",    "PTZCMD_DOWNLEFT",   "PTZCMD_DOWNLEFT_2",
    "PTZCMD_DOWNRIGHT",  "PTZCMD_DOWNRIGHT_2",  "PTZCMD_ZOOM_IN",    "PTZCMD_ZOOM_IN_2",
    "PTZCMD_ZOOM_OUT",   "PTZCMD_ZOOM_OUT_2",   "PTZCMD_FOCUS_FAR",  "PTZCMD_FOCUS_FAR_2",
    "PTZCMD_FOCUS_NEAR", "PTZCMD_FOCUS_NEAR_2", "PTZCMD_IRIS_CLOSE", "PTZCMD_IRIS_CLOSE_2",
    "PTZCMD_IRIS_OPEN",  "PTZCMD_IRIS_OPEN_2",  "PTZCMD_STOP",       "PTZCMD_STOP_2",
    "PTZCMD_RESERVED36", "PTZCMD_RESERVED37",   "PTZCMD_RESERVED38", "PTZCMD_RESERVED39",
};

// The name of command `index`, or an empty view outside 0 to 39.
std::string_view PtzCommandName(int index);

// Texts of the editor's drop-down lists, position 0 first.
inline constexpr std::array<std::string_view, 3> kPtzParityTexts = {"NONE", "ODD", "EVEN"};
inline constexpr std::array<std::string_view, 4> kPtzDataBitsTexts = {"BYTE 5", "BYTE 6", "BYTE 7",
                                                                      "BYTE 8"};
inline constexpr std::array<std::string_view, 2> kPtzStopBitsTexts = {"STOP 1", "STOP 2"};
inline constexpr std::array<std::string_view, 2> kPtzEnableTexts = {"Off", "On"};

// Stored value to list position: a value outside the list shows position 0
// (parity 2 or above 3, data bits above 3, stop bits above 1).
int ParityToPosition(std::uint8_t stored);
int DataBitsToPosition(std::uint8_t stored);
int StopBitsToPosition(std::uint8_t stored);
// The enable byte is its own position; a value above 1 selects nothing in the list.
int EnableToPosition(std::uint8_t stored);

// List position to stored value. Position 2 of parity stores 3; every other position
// (also -1 for "no selection") stores its low 8 bits, so no selection of Enable
// stores 255.
std::uint8_t ParityFromPosition(int position);
std::uint8_t DataBitsFromPosition(int position);
std::uint8_t StopBitsFromPosition(int position);
std::uint8_t EnableFromPosition(int position);

}  // namespace imgdl
