#pragma once
// Which of the two PTZ file forms some bytes are. A database starts with "PD"; an
// image starts with its checksum word, whose first two bytes are "PD" for one image
// in 65,536. So an image is recognised first, by what it alone has: exactly 64660
// bytes with a matching checksum. No database has that length (12 + n * 1796 never
// equals 64660), so a database is never taken for an image.
#include <cstdint>
#include <span>

namespace imgdl {

enum class PtzFileKind { Image, Database, Unknown };

PtzFileKind DetectPtzFileKind(std::span<const std::uint8_t> file);

}  // namespace imgdl
