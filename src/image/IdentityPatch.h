#pragma once
// Writing a unit's identity into the leading section of an integrated image.
#include <cstdint>
#include <span>

#include "session/MacAddress.h"

namespace imgdl {

// Two little-endian words at 0xFF80. The image holds at least 65,420 bytes.
void PatchMacAddress(std::span<std::uint8_t> image, const MacAddress& mac);
// One big-endian word at 0xFF88. The image holds at least 65,420 bytes.
void PatchSerialNumber(std::span<std::uint8_t> image, std::uint32_t serialNumber);

}  // namespace imgdl
