// Front-to-back access to a caller-owned memory region.
#include <algorithm>
#include <cstring>

#include "gzip/GzipInflater.h"

namespace imgdl {

MemoryStream openMemoryStream(std::uint8_t* bytes, std::size_t length) {
    return MemoryStream{bytes, bytes + length, bytes};
}

int getByte(MemoryStream& stream) {
    if (stream.position == stream.end) return 0xFF;
    return *stream.position++;
}

bool atEnd(const MemoryStream& stream) {
    return stream.position == stream.end;
}

int ungetByte(MemoryStream& stream) {
    if (stream.position == stream.start) return -1;
    --stream.position;
    return 0;
}

std::size_t writeBytes(MemoryStream& stream, const std::uint8_t* bytes, std::size_t count) {
    const auto room = static_cast<std::size_t>(stream.end - stream.position);
    const std::size_t copied = std::min(count, room);
    if (copied != 0) std::memcpy(stream.position, bytes, copied);
    stream.position += copied;
    return copied;
}

void readBytes(MemoryStream& stream, std::uint8_t* destination, std::size_t count) {
    if (count != 0) std::memcpy(destination, stream.position, count);
    stream.position += count;
}

}  // namespace imgdl
