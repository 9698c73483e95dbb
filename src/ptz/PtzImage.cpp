#include "ptz/PtzImage.h"

#include <algorithm>
#include <cstring>

#include "common/ByteOrder.h"
#include "ptz/PtzFileIo.h"

namespace imgdl {
namespace {

constexpr std::uint8_t kEmptyByte = 0xFF;
constexpr std::int32_t kEmptySlotNumber = -1;  // what 0xFF 0xFF 0xFF 0xFF reads as

bool IsSlotIndex(int s) {
    return s >= 0 && s < kPtzImageSlotCount;
}

std::size_t SlotOffset(int s) {
    return kPtzImageChecksumSize + static_cast<std::size_t>(s) * PtzProtocol::kSize;
}

std::uint32_t SumWords(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) sum += LoadLe32(bytes.data() + i);
    return sum;
}

// A longer file loads its beginning; only a shorter one fails.
PtzLoadError WholeImageRead(std::size_t read) {
    return read == kPtzImageSize ? PtzLoadError::kNone : PtzLoadError::kShortImage;
}

}  // namespace

std::uint32_t ComputePtzImageChecksum(std::span<const std::uint8_t, kPtzImageSize> image) {
    return 0u - SumWords(std::span<const std::uint8_t>(image).subspan(kPtzImageChecksumSize));
}

bool IsValidPtzImage(std::span<const std::uint8_t> file) {
    if (file.size() != kPtzImageSize) return false;
    const std::span<const std::uint8_t, kPtzImageSize> image(file.data(), kPtzImageSize);
    return LoadLe32(image.data()) == ComputePtzImageChecksum(image);
}

PtzImage::PtzImage() {
    Clear();
}

void PtzImage::Clear() {
    bytes_.fill(kEmptyByte);
}

std::span<std::uint8_t, PtzProtocol::kSize> PtzImage::Slot(int s) {
    return std::span<std::uint8_t, PtzProtocol::kSize>(bytes_.data() + SlotOffset(s),
                                                       PtzProtocol::kSize);
}

std::span<const std::uint8_t, PtzProtocol::kSize> PtzImage::Slot(int s) const {
    return std::span<const std::uint8_t, PtzProtocol::kSize>(bytes_.data() + SlotOffset(s),
                                                             PtzProtocol::kSize);
}

void PtzImage::SwapSlots(int a, int b) {
    std::swap_ranges(Slot(a).begin(), Slot(a).end(), Slot(b).begin());
}

int PtzImage::PutSlot(int s, const PtzProtocol& record) {
    if (!IsSlotIndex(s)) return 0;
    record.ToBytes(Slot(s));
    return 1;
}

int PtzImage::GetSlot(int s, PtzProtocol& record) const {
    if (!IsSlotIndex(s)) return 0;
    record = PtzProtocol::FromBytes(Slot(s));
    return 1;
}

std::int32_t PtzImage::SlotNumber(int s) const {
    return static_cast<std::int32_t>(LoadLe32(Slot(s).data() + ptz_layout::kNumber));
}

int PtzImage::ContainsNumber(std::int32_t n) const {
    for (int s = 0; s < kPtzImageSlotCount; ++s)
        if (SlotNumber(s) == n) return 1;
    return 0;
}

int PtzImage::RemoveSlot(int s) {
    if (!IsSlotIndex(s)) return 0;
    const auto end = bytes_.end();
    std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(SlotOffset(s + 1)), end,
              bytes_.begin() + static_cast<std::ptrdiff_t>(SlotOffset(s)));
    std::fill(Slot(kPtzImageSlotCount - 1).begin(), Slot(kPtzImageSlotCount - 1).end(), kEmptyByte);
    return 1;
}

int PtzImage::MoveUp(int s) {
    if (!IsSlotIndex(s)) return 0;
    if (s > 0) SwapSlots(s, s - 1);
    return 1;
}

int PtzImage::MoveDown(int s) {
    if (!IsSlotIndex(s)) return 0;
    if (s < kPtzImageSlotCount - 1) SwapSlots(s, s + 1);
    return 1;
}

int PtzImage::EntryCount() const {
    int count = 0;
    while (count < kPtzImageSlotCount && SlotNumber(count) != kEmptySlotNumber) ++count;
    return count;
}

int PtzImage::KeepOnlyEntries() {
    const int count = EntryCount();
    std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(SlotOffset(count)), bytes_.end(),
              kEmptyByte);
    return count;
}

int PtzImage::Save(const std::filesystem::path& path) {
    StoreLe32(bytes_.data(), ComputePtzImageChecksum(bytes_));
    return ptz_io::ReplaceFile(path, bytes_) ? 1 : 0;
}

int PtzImage::Load(const std::filesystem::path& path) {
    PtzLoadError why = PtzLoadError::kNone;
    return Load(path, why);
}

int PtzImage::Load(const std::filesystem::path& path, PtzLoadError& why) {
    const UniqueFd fd = ptz_io::OpenForReading(path, why);
    if (!fd) return 0;
    why = WholeImageRead(ptz_io::ReadUpTo(fd.get(), bytes_));
    return why == PtzLoadError::kNone ? 1 : 0;
}

int PtzImage::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    PtzLoadError why = PtzLoadError::kNone;
    return LoadFromBytes(bytes, why);
}

int PtzImage::LoadFromBytes(std::span<const std::uint8_t> bytes, PtzLoadError& why) {
    const std::size_t n = std::min(bytes.size(), bytes_.size());
    if (n > 0) std::memcpy(bytes_.data(), bytes.data(), n);
    why = WholeImageRead(n);
    return why == PtzLoadError::kNone ? 1 : 0;
}

}  // namespace imgdl
