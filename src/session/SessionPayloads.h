#pragma once
// The small payloads of the version and identity sessions, encoded and decoded in one
// place: the flows encode them, imgdl's log and the recorder simulator decode them.
//   CMD_FIRMWARE_VERSION  version word, little-endian                      4 bytes
//   CMD_MAC_ADDRESS       MAC high word, MAC low word, each big-endian     8 bytes
//   CMD_SERIAL_NUMBER     serial number, little-endian                     4 bytes
//   CMD_MAC_AND_SERIAL    the MAC's 8 bytes, then the serial's 4          12 bytes
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "session/MacAddress.h"

namespace imgdl {

inline constexpr std::size_t kVersionPayloadSize = 4;
inline constexpr std::size_t kMacPayloadSize = 8;
inline constexpr std::size_t kSerialPayloadSize = 4;
inline constexpr std::size_t kMacAndSerialPayloadSize = kMacPayloadSize + kSerialPayloadSize;

std::array<std::uint8_t, kVersionPayloadSize> EncodeVersionPayload(std::uint32_t version);
std::array<std::uint8_t, kMacPayloadSize> EncodeMacPayload(const MacAddress& mac);
std::array<std::uint8_t, kSerialPayloadSize> EncodeSerialPayload(std::uint32_t serial);
std::array<std::uint8_t, kMacAndSerialPayloadSize> EncodeMacAndSerialPayload(const MacAddress& mac,
                                                                             std::uint32_t serial);

// What a session's payload carries, each word only where the payload holds it whole.
struct SessionPayloadFields {
    std::optional<std::uint32_t> version;
    std::optional<MacAddress> mac;
    std::optional<std::uint32_t> serial;
};
// Nothing is decoded from the payload of an image command.
SessionPayloadFields DecodeSessionPayload(std::uint32_t command,
                                          std::span<const std::uint8_t> payload);

// A version word as MAJOR.MINOR.PATCH (its top three bytes).
std::string FormatVersion(std::uint32_t version);

// The decoded words as the operator reads them (empty where the payload has none):
// MAJOR.MINOR.PATCH, twelve hex digits as FormatMacAddress writes them, decimal.
struct SessionPayloadTexts {
    std::string version;
    std::string mac;
    std::string serial;
};
SessionPayloadTexts DescribeSessionPayload(std::uint32_t command,
                                           std::span<const std::uint8_t> payload);

}  // namespace imgdl
