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

MacAddress PatchedMacAddress(std::span<const std::uint8_t> image) {
    assert(image.size() >= kMinIntegratedSize);
    return {LoadLe32(image.data() + kMacAddressOffset),
            LoadLe32(image.data() + kMacAddressOffset + 4)};
}

std::uint32_t PatchedSerialNumber(std::span<const std::uint8_t> image) {
    assert(image.size() >= kMinIntegratedSize);
    return LoadBe32(image.data() + kSerialNumberOffset);
}

}  // namespace imgdl
