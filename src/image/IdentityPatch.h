#pragma once
// A unit's identity in the leading section of an integrated image: written and read back.
#include <cstdint>
#include <span>

#include "session/MacAddress.h"

namespace imgdl {

// Two little-endian words at 0xFF80. The image holds at least 65,420 bytes.
void PatchMacAddress(std::span<std::uint8_t> image, const MacAddress& mac);
// One big-endian word at 0xFF88. The image holds at least 65,420 bytes.
void PatchSerialNumber(std::span<std::uint8_t> image, std::uint32_t serialNumber);

// The identity a patched image carries, read back from the same places.
MacAddress PatchedMacAddress(std::span<const std::uint8_t> image);
std::uint32_t PatchedSerialNumber(std::span<const std::uint8_t> image);

}  // namespace imgdl
