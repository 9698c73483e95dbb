#include "image/IdentityPatch.h"

#include <cassert>

#include "common/ByteOrder.h"
#include "image/ImageLayout.h"

namespace imgdl {

void PatchMacAddress(std::span<std::uint8_t> image, const MacAddress& mac) {
    assert(image.size() >= kMinIntegratedSize);
    StoreLe32(image.data() + kMacAddressOffset, mac.high);
    StoreLe32(image.data() + kMacAddressOffset + 4, mac.low);
}

void PatchSerialNumber(std::span<std::uint8_t> image, std::uint32_t serialNumber) {
    assert(image.size() >= kMinIntegratedSize);
    StoreBe32(image.data() + kSerialNumberOffset, serialNumber);
}

}  // namespace imgdl
