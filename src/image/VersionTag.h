#pragma once
// Finding the firmware version tag ("$version: 1.2.3 $") in an expanded application.
#include <cstdint>
#include <span>

namespace imgdl {

inline constexpr std::int32_t kProbeCannotOpen = 0;
inline constexpr std::int32_t kProbeNoVersion = -1;
inline constexpr std::int32_t kProbeOutOfMemory = -2;

// ((major * 256 + minor) * 256 + patch) * 256 in 32-bit arithmetic.
std::int32_t VersionValue(std::int32_t major, std::int32_t minor, std::int32_t patch);

// The version of the first complete "$version: " tag in the region, or
// kProbeNoVersion when there is none or its text does not give three numbers. The
// text is read the way the C library reads "%d.%d.%d $", ending at a zero byte or at
// the region's end, never beyond.
std::int32_t FindVersionTag(std::span<const std::uint8_t> region);

}  // namespace imgdl
