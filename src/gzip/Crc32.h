#pragma once
// CRC-32 of gzip members (reflected, polynomial 0xEDB88320), table driven.
#include <cstddef>
#include <cstdint>

namespace imgdl::gzip {

// Advances the CRC register over the bytes. The register is kept raw: the caller
// starts it at 0xFFFFFFFF and complements it at the end.
std::uint32_t UpdateCrc32(std::uint32_t reg, const std::uint8_t* bytes, std::size_t count);

}  // namespace imgdl::gzip
