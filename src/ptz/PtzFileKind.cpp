#include "ptz/PtzFileKind.h"

#include "ptz/PtzDatabase.h"
#include "ptz/PtzImage.h"

namespace imgdl {

static_assert((kPtzImageSize - kPtzDatabaseHeaderSize) % PtzProtocol::kSize != 0,
              "a database of whole records could have an image's length");

PtzFileKind DetectPtzFileKind(std::span<const std::uint8_t> file) {
    if (IsValidPtzImage(file)) return PtzFileKind::Image;
    if (file.size() >= kPtzDatabaseHeaderSize && file[0] == kPtzDatabaseMagic[0] &&
        file[1] == kPtzDatabaseMagic[1])
        return PtzFileKind::Database;
    return PtzFileKind::Unknown;
}

}  // namespace imgdl
