#pragma once
// The PTZ image the recorder receives: a checksum word and 36 protocol slots, 64660
// bytes in all, in memory exactly as in the `.bin` file. Entries fill slots 0, 1, ...
// without gaps; an empty slot is 1796 bytes of 0xFF (its number reads -1). The
// checksum makes the file's 16165 little-endian words add up to 0 modulo 2^32.
// Operations return 1 for success and 0 for failure and show nothing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "ptz/PtzLoadError.h"
#include "ptz/PtzProtocol.h"

namespace imgdl {

inline constexpr int kPtzImageSlotCount = 36;
inline constexpr std::size_t kPtzImageChecksumSize = 4;
inline constexpr std::size_t kPtzImageSize =
    kPtzImageChecksumSize + kPtzImageSlotCount * PtzProtocol::kSize;
static_assert(kPtzImageSize == 64660);

// The checksum word for an image: the two's complement of the sum of the 16164
// little-endian words from offset 4 to the end (the stored checksum is not read).
std::uint32_t ComputePtzImageChecksum(std::span<const std::uint8_t, kPtzImageSize> image);

// The check before a PTZ image is downloaded: exactly 64660 bytes, and the stored
// checksum equals ComputePtzImageChecksum. Slot contents are not examined.
bool IsValidPtzImage(std::span<const std::uint8_t> file);

class PtzImage {
  public:
    // A new image is cleared.
    PtzImage();

    // Sets all 64660 bytes, checksum word included, to 0xFF.
    void Clear();
    // Copy a record into / out of slot s (0 to 35); another index returns 0.
    int PutSlot(int s, const PtzProtocol& record);
    int GetSlot(int s, PtzProtocol& record) const;
    // 1 when any of the 36 slots has number n (empty slots count as -1), else 0.
    int ContainsNumber(std::int32_t n) const;
    // Slots s + 1 to 35 move down one, slot 35 becomes empty.
    int RemoveSlot(int s);
    // Swap slot s with s - 1 / s + 1; at slot 0 / slot 35 nothing changes and 1.
    int MoveUp(int s);
    int MoveDown(int s);
    // The entries: the slots before the first one whose number reads -1.
    int EntryCount() const;
    // Empties every slot after the entries, so that nothing the operator cannot see
    // as an entry stays in the image; returns EntryCount().
    int KeepOnlyEntries();

    // Stores the checksum in the checksum word and writes the 64660 bytes. 1 when all
    // were written; the file is replaced only then, so a failed save leaves an
    // existing file untouched.
    int Save(const std::filesystem::path& path);
    // Reads up to 64660 bytes from the file's start over the image. 1 when all 64660
    // arrived (a longer file loads its beginning). A shorter file returns 0 with the
    // bytes it held already in place and the rest unchanged; a file that cannot be
    // opened returns 0 and changes nothing. The checksum is not verified. `why` tells
    // the cause of a 0.
    int Load(const std::filesystem::path& path);
    int Load(const std::filesystem::path& path, PtzLoadError& why);
    // The same rule over the bytes of a file already in memory.
    int LoadFromBytes(std::span<const std::uint8_t> bytes);
    int LoadFromBytes(std::span<const std::uint8_t> bytes, PtzLoadError& why);

    // The image as it would be written, checksum word as last stored or loaded.
    std::span<const std::uint8_t, kPtzImageSize> Bytes() const { return bytes_; }

  private:
    std::span<std::uint8_t, PtzProtocol::kSize> Slot(int s);
    std::span<const std::uint8_t, PtzProtocol::kSize> Slot(int s) const;
    void SwapSlots(int a, int b);
    std::int32_t SlotNumber(int s) const;

    std::array<std::uint8_t, kPtzImageSize> bytes_;
};

}  // namespace imgdl
