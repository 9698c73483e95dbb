// Loads arbitrary bytes as a PTZ image, from memory and from a file, and checks the
// load rule (prefix replaced, the rest untouched), the validity rule, and a sequence of
// slot operations taken from the input against a plain model of 36 slots.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "common/ByteOrder.h"
#include "ptz/PtzImage.h"

namespace {

using imgdl::kPtzImageSize;
using imgdl::kPtzImageSlotCount;
using imgdl::PtzImage;
using imgdl::PtzProtocol;
using imgdl::fuzz::Expect;

using Slot = std::array<std::uint8_t, PtzProtocol::kSize>;

bool AllWordsAddUpToZero(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) sum += imgdl::LoadLe32(bytes.data() + i);
    return sum == 0;
}

std::vector<Slot> SlotsOf(const PtzImage& image) {
    std::vector<Slot> slots(kPtzImageSlotCount);
    for (int s = 0; s < kPtzImageSlotCount; ++s)
        std::memcpy(slots[s].data(), image.Bytes().data() + 4 + s * PtzProtocol::kSize,
                    PtzProtocol::kSize);
    return slots;
}

// One operation on the image and on the model; the index runs from -1 to 37.
void Apply(PtzImage& image, std::vector<Slot>& model, std::uint8_t op) {
    const int s = (op >> 2) % (kPtzImageSlotCount + 3) - 1;
    const bool inRange = s >= 0 && s < kPtzImageSlotCount;
    int result = 0;
    switch (op & 3) {
        case 0:
            result = image.RemoveSlot(s);
            if (inRange) {
                model.erase(model.begin() + s);
                model.emplace_back().fill(0xFF);
            }
            break;
        case 1:
            result = image.MoveUp(s);
            if (inRange && s > 0) std::swap(model[s], model[s - 1]);
            break;
        case 2:
            result = image.MoveDown(s);
            if (inRange && s < kPtzImageSlotCount - 1) std::swap(model[s], model[s + 1]);
            break;
        default: {
            PtzProtocol record;
            result = image.GetSlot(s, record);
            if (inRange) {
                Expect(image.ContainsNumber(record.number) == 1, "slot number is contained");
                Slot bytes;
                record.ToBytes(bytes);
                Expect(bytes == model[s], "get slot copies the slot");
            }
            break;
        }
    }
    Expect(result == (inRange ? 1 : 0), "slot index range");
    Expect(SlotsOf(image) == model, "image matches the model");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const imgdl::fuzz::ScratchFile scratch("ptz_image_fuzz");
    const std::span<const std::uint8_t> input(data, size);

    PtzImage image;
    const int result = image.LoadFromBytes(input);
    Expect(result == (size >= kPtzImageSize ? 1 : 0), "load result");
    const std::size_t copied = std::min(size, kPtzImageSize);
    Expect(std::equal(input.begin(), input.begin() + copied, image.Bytes().begin()),
           "prefix loaded");
    Expect(std::all_of(image.Bytes().begin() + copied, image.Bytes().end(),
                       [](std::uint8_t b) { return b == 0xFF; }),
           "rest unchanged");
    Expect(imgdl::IsValidPtzImage(input) == (size == kPtzImageSize && AllWordsAddUpToZero(input)),
           "validity rule");

    scratch.Write(input);
    PtzImage fromFile;
    Expect(fromFile.Load(scratch.Path()) == result, "file and bytes give the same result");
    Expect(std::equal(image.Bytes().begin(), image.Bytes().end(), fromFile.Bytes().begin()),
           "file and bytes load the same");

    // Operations come from the bytes past the image, or the last bytes of a short input.
    std::vector<Slot> model = SlotsOf(image);
    const std::span<const std::uint8_t> ops = size > kPtzImageSize
                                                  ? input.subspan(kPtzImageSize)
                                                  : input.last(std::min<std::size_t>(size, 16));
    for (std::uint8_t op : ops.first(std::min<std::size_t>(ops.size(), 64)))
        Apply(image, model, op);

    std::array<std::uint8_t, kPtzImageSize> saved;
    std::copy(image.Bytes().begin(), image.Bytes().end(), saved.begin());
    imgdl::StoreLe32(saved.data(), imgdl::ComputePtzImageChecksum(saved));
    Expect(imgdl::IsValidPtzImage(saved), "a stored checksum makes the image valid");
    return 0;
}
