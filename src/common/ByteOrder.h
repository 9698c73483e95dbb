#pragma once
// Fixed-width loads and stores with the byte order in the name. Every on-disk and
// on-wire layout goes through these, so files and packets are the same on any host.
#include <cstddef>
#include <cstdint>
#include <span>

namespace imgdl {

inline std::uint16_t LoadLe16(std::span<const std::uint8_t, 2> b) {
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}
inline std::uint32_t LoadLe32(std::span<const std::uint8_t, 4> b) {
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
inline std::uint32_t LoadBe32(std::span<const std::uint8_t, 4> b) {
    return (static_cast<std::uint32_t>(b[0]) << 24) | (static_cast<std::uint32_t>(b[1]) << 16) |
           (static_cast<std::uint32_t>(b[2]) << 8) | static_cast<std::uint32_t>(b[3]);
}
inline void StoreLe16(std::span<std::uint8_t, 2> b, std::uint16_t v) {
    b[0] = static_cast<std::uint8_t>(v);
    b[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLe32(std::span<std::uint8_t, 4> b, std::uint32_t v) {
    b[0] = static_cast<std::uint8_t>(v);
    b[1] = static_cast<std::uint8_t>(v >> 8);
    b[2] = static_cast<std::uint8_t>(v >> 16);
    b[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void StoreBe32(std::span<std::uint8_t, 4> b, std::uint32_t v) {
    b[0] = static_cast<std::uint8_t>(v >> 24);
    b[1] = static_cast<std::uint8_t>(v >> 16);
    b[2] = static_cast<std::uint8_t>(v >> 8);
    b[3] = static_cast<std::uint8_t>(v);
}

// Pointer forms for offsets into larger buffers; the caller has checked the bounds.
inline std::uint16_t LoadLe16(const std::uint8_t* p) {
    return LoadLe16(std::span<const std::uint8_t, 2>(p, 2));
}
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
    return LoadLe32(std::span<const std::uint8_t, 4>(p, 4));
}
inline std::uint32_t LoadBe32(const std::uint8_t* p) {
    return LoadBe32(std::span<const std::uint8_t, 4>(p, 4));
}
inline void StoreLe16(std::uint8_t* p, std::uint16_t v) {
    StoreLe16(std::span<std::uint8_t, 2>(p, 2), v);
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
    StoreLe32(std::span<std::uint8_t, 4>(p, 4), v);
}
inline void StoreBe32(std::uint8_t* p, std::uint32_t v) {
    StoreBe32(std::span<std::uint8_t, 4>(p, 4), v);
}

}  // namespace imgdl
