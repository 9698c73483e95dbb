#pragma once
// Fixed offsets of application and integrated image files.
#include <cstddef>
#include <cstdint>

namespace imgdl {

enum class ImageLayout { Application, Integrated };

// Application image, from the start of the application.
inline constexpr std::size_t kAppHeaderOffset = 0xCF80;  // compressed length, LE32
inline constexpr std::size_t kAppHeaderSize = 60;
inline constexpr std::size_t kAppMemberOffset = 0xD000;  // one gzip member
static_assert(kAppHeaderOffset + kAppHeaderSize <= kAppMemberOffset);

// Integrated image: a leading identity section, then an application image.
inline constexpr std::size_t kIntegratedAppStart = 0x10000;
inline constexpr std::size_t kMacAddressOffset = 0xFF80;                    // two LE32 words
inline constexpr std::size_t kSerialNumberOffset = 0xFF88;                  // one BE32 word
inline constexpr std::size_t kMinIntegratedSize = kSerialNumberOffset + 4;  // 65,420
static_assert(kMinIntegratedSize == 65420);
static_assert(kIntegratedAppStart + kAppMemberOffset == 0x1D000);

inline constexpr std::size_t ApplicationStart(ImageLayout layout) {
    return layout == ImageLayout::Integrated ? kIntegratedAppStart : 0;
}

// Output region into which the probe expands the application.
inline constexpr std::size_t kProbeRegionSize = 0x400000;  // 4,194,304

}  // namespace imgdl
