// The PTZ image: the file it writes byte for byte, the slot operations at their ends
// and out of range, the short-file load rule and the validity rule of the download.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

#include "PtzTestFiles.h"
#include "ptz/PtzImage.h"
#include "support/Fifo.h"

namespace imgdl::test {
namespace {

constexpr std::int32_t kEmpty = -1;

// An image whose slots 0.. hold SampleProtocol(100 + s) for each of `entries`.
PtzImage ImageOf(int entries) {
    PtzImage image;
    for (int s = 0; s < entries; ++s) EXPECT_EQ(image.PutSlot(s, SampleProtocol(100 + s)), 1);
    return image;
}

// The numbers of the 36 slots; an empty slot must be 0xFF throughout.
std::vector<std::int32_t> SlotNumbers(const PtzImage& image) {
    std::vector<std::int32_t> numbers;
    for (int s = 0; s < kPtzImageSlotCount; ++s) {
        PtzProtocol record;
        EXPECT_EQ(image.GetSlot(s, record), 1);
        if (record.number == kEmpty)
            EXPECT_EQ(BytesOf(record), Bytes(PtzProtocol::kSize, 0xFF)) << "slot " << s;
        else
            EXPECT_EQ(record, SampleProtocol(record.number)) << "slot " << s;
        numbers.push_back(record.number);
    }
    return numbers;
}

// `numbers` followed by empty slots up to 36.
std::vector<std::int32_t> Slots(std::vector<std::int32_t> numbers) {
    numbers.resize(kPtzImageSlotCount, kEmpty);
    return numbers;
}

std::vector<std::int32_t> Range(int first, int last) {
    std::vector<std::int32_t> numbers;
    for (int n = first; n <= last; ++n) numbers.push_back(n);
    return numbers;
}

Bytes ImageBytes(const PtzImage& image) {
    return Bytes(image.Bytes().begin(), image.Bytes().end());
}

using PtzImageFileTest = PtzFileTest;

TEST_F(PtzImageFileTest, EmptyImageSavesWithChecksum16164AndIsValid) {
    PtzImage image;
    ASSERT_EQ(image.Save(PathOf("empty.bin")), 1);
    Bytes expected{0x24, 0x3F, 0x00, 0x00};
    expected.resize(64660, 0xFF);
    const Bytes file = ReadBytes(PathOf("empty.bin"));
    EXPECT_EQ(file, expected);
    EXPECT_TRUE(IsValidPtzImage(file));
}

TEST_F(PtzImageFileTest, FullImageRoundTripsByteForByte) {
    PtzImage image = ImageOf(36);
    ASSERT_EQ(image.Save(PathOf("full.bin")), 1);
    const Bytes file = ReadBytes(PathOf("full.bin"));
    EXPECT_TRUE(IsValidPtzImage(file));
    EXPECT_EQ(file, ImageBytes(image));  // the checksum word was stored in memory as well
    for (int s = 0; s < 36; ++s) {
        const Bytes slot = BytesOf(SampleProtocol(100 + s));
        EXPECT_TRUE(std::equal(slot.begin(), slot.end(), file.begin() + 4 + 1796 * s)) << s;
    }
    PtzImage loaded;
    ASSERT_EQ(loaded.Load(PathOf("full.bin")), 1);
    EXPECT_EQ(ImageBytes(loaded), file);
    EXPECT_EQ(SlotNumbers(loaded), Range(100, 135));
}

TEST_F(PtzImageFileTest, OneProtocolLoadsBackAsOneEntry) {
    PtzImage image = ImageOf(1);
    ASSERT_EQ(image.Save(PathOf("one.bin")), 1);
    PtzImage loaded = ImageOf(36);
    ASSERT_EQ(loaded.Load(PathOf("one.bin")), 1);
    EXPECT_EQ(SlotNumbers(loaded), Slots({100}));
}

// Each case edits a saved image of three protocols; Load starts from a full image.
TEST_F(PtzImageFileTest, LoadAndValidityOfEditedFiles) {
    const struct {
        const char* name;
        std::function<void(const std::filesystem::path&)> edit;
        int loaded;
        bool valid;
        std::size_t replaced;  // how many leading bytes come from the file
        PtzLoadError why = PtzLoadError::kNone;
    } cases[] = {
        {"as saved", [](auto&) {}, 1, true, 64660},
        {"64659 bytes", [](auto& p) { Truncate(p, 64659); }, 0, false, 64659,
         PtzLoadError::kShortImage},
        {"64661 bytes", [](auto& p) { Append(p, Bytes{0}); }, 1, false, 64660},
        {"100 bytes", [](auto& p) { Truncate(p, 100); }, 0, false, 100, PtzLoadError::kShortImage},
        {"empty", [](auto& p) { Truncate(p, 0); }, 0, false, 0, PtzLoadError::kShortImage},
        {"checksum + 1", [](auto& p) { SetLe32(p, 0, Le32At(ReadBytes(p), 0) + 1); }, 1, false,
         64660},
        {"slot byte changed", [](auto& p) { SetByte(p, 5000, 0x42); }, 1, false, 64660},
        {"slot byte changed, checksum fixed",
         [](auto& p) {
             SetByte(p, 5000, 0x42);
             FixChecksum(p);
         },
         1, true, 64660},
        {"unordered slots, checksum fixed",  // slot contents are not examined
         [](auto& p) {
             SetLe32(p, 4, 0xFFFFFFFF);
             FixChecksum(p);
         },
         1, true, 64660},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = PathOf("case.bin");
        ASSERT_EQ(ImageOf(3).Save(path), 1);
        c.edit(path);
        const Bytes file = ReadBytes(path);
        EXPECT_EQ(IsValidPtzImage(file), c.valid);

        PtzImage image = ImageOf(36);
        Bytes expected = ImageBytes(image);
        std::copy(file.begin(), file.begin() + c.replaced, expected.begin());
        EXPECT_EQ(image.Load(path), c.loaded);
        EXPECT_EQ(ImageBytes(image), expected);

        PtzImage fromBytes = ImageOf(36);
        EXPECT_EQ(fromBytes.LoadFromBytes(file), c.loaded);
        EXPECT_EQ(ImageBytes(fromBytes), expected);

        // The checksum is no reason: loading never verifies it.
        PtzLoadError why = PtzLoadError::kNoMemory;  // anything the loader must overwrite
        PtzImage withReason = ImageOf(36);
        EXPECT_EQ(withReason.Load(path, why), c.loaded);
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(ImageBytes(withReason), expected);
        why = PtzLoadError::kNoMemory;
        withReason = ImageOf(36);
        EXPECT_EQ(withReason.LoadFromBytes(file, why), c.loaded);
        EXPECT_EQ(why, c.why);
    }
}

TEST_F(PtzImageFileTest, UnreadablePathsLeaveTheImageUnchanged) {
    PtzImage image = ImageOf(2);
    const Bytes before = ImageBytes(image);
    EXPECT_EQ(image.Load(PathOf("missing.bin")), 0);
    std::filesystem::create_directory(PathOf("folder"));
    EXPECT_EQ(image.Load(PathOf("folder")), 0);
    MakeFifo(PathOf("pipe"));
    EXPECT_EQ(WithoutBlocking<int>(PathOf("pipe"), [&] { return image.Load(PathOf("pipe")); }), 0);
    EXPECT_EQ(ImageBytes(image), before);
}

TEST_F(PtzImageFileTest, UnreadablePathsSayWhy) {
    std::filesystem::create_directory(PathOf("folder"));
    MakeFifo(PathOf("pipe"));
    const std::pair<const char*, PtzLoadError> cases[] = {
        {"missing.bin", PtzLoadError::kCannotOpen},
        {"folder", PtzLoadError::kNotRegularFile},
        {"pipe", PtzLoadError::kNotRegularFile},
    };
    for (const auto& [name, expected] : cases) {
        PtzImage image = ImageOf(2);
        const Bytes before = ImageBytes(image);
        PtzLoadError why = PtzLoadError::kNone;
        EXPECT_EQ(WithoutBlocking<int>(PathOf(name), [&] { return image.Load(PathOf(name), why); }),
                  0)
            << name;
        EXPECT_EQ(why, expected) << name;
        EXPECT_EQ(ImageBytes(image), before) << name;
    }
}

// The entries end at the first slot whose number reads -1, whatever follows it. Each
// case lists the slot numbers before: kEmpty makes the slot 0xFF throughout, -1 a
// protocol numbered -1 with other bytes set.
TEST(PtzImageTest, EntriesEndAtTheFirstEmptySlot) {
    const struct {
        const char* name;
        std::vector<std::int32_t> slots;
        int entries;
    } cases[] = {
        {"empty image", {}, 0},
        {"three then empty", {100, 101, 102}, 3},
        {"gap", {100, 101, kEmpty, 103, 104}, 2},
        {"empty slot 0", {kEmpty, 101}, 0},
        {"full", Range(100, 135), 36},
        {"full but slot 35", Range(100, 134), 35},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtzImage image;
        for (std::size_t s = 0; s < c.slots.size(); ++s) {
            if (c.slots[s] != kEmpty) {
                ASSERT_EQ(image.PutSlot(static_cast<int>(s), SampleProtocol(c.slots[s])), 1);
            }
        }
        EXPECT_EQ(image.EntryCount(), c.entries);

        const Bytes checksum(image.Bytes().begin(), image.Bytes().begin() + 4);
        EXPECT_EQ(image.KeepOnlyEntries(), c.entries);
        std::vector<std::int32_t> kept(c.slots.begin(), c.slots.begin() + c.entries);
        EXPECT_EQ(SlotNumbers(image), Slots(kept));  // also: emptied slots are all 0xFF
        EXPECT_EQ(Bytes(image.Bytes().begin(), image.Bytes().begin() + 4), checksum);
    }
}

TEST(PtzImageTest, AProtocolNumberedMinusOneEndsTheEntries) {
    PtzImage image = ImageOf(3);
    PtzProtocol minusOne = SampleProtocol(7);
    minusOne.number = -1;
    ASSERT_EQ(image.PutSlot(1, minusOne), 1);
    EXPECT_EQ(image.EntryCount(), 1);
    EXPECT_EQ(image.KeepOnlyEntries(), 1);
    EXPECT_EQ(SlotNumbers(image), Slots({100}));
}

TEST(PtzImageTest, ClearEmptiesEverySlotAndTheChecksumWord) {
    PtzImage image = ImageOf(36);
    image.Clear();
    EXPECT_EQ(ImageBytes(image), Bytes(64660, 0xFF));
}

TEST(PtzImageTest, RemoveSlotMovesLaterSlotsDown) {
    const struct {
        int entries, slot, result;
        std::vector<std::int32_t> left;
    } cases[] = {
        {5, 2, 1, Slots({100, 101, 103, 104})},
        {5, 4, 1, Slots({100, 101, 102, 103})},
        {5, 20, 1, Slots({100, 101, 102, 103, 104})},
        {36, 35, 1, Slots(Range(100, 134))},
        {36, 0, 1, Slots(Range(101, 135))},
        {36, 17, 1,
         [] {
             auto v = Range(100, 135);
             v.erase(v.begin() + 17);
             return Slots(v);
         }()},
        {5, -1, 0, Slots(Range(100, 104))},
        {5, 36, 0, Slots(Range(100, 104))},
    };
    for (const auto& c : cases) {
        PtzImage image = ImageOf(c.entries);
        EXPECT_EQ(image.RemoveSlot(c.slot), c.result) << c.entries << "/" << c.slot;
        EXPECT_EQ(SlotNumbers(image), c.left) << c.entries << "/" << c.slot;
    }
}

TEST(PtzImageTest, MoveUpAndDownSwapNeighboursExceptAtTheEnds) {
    const auto swapped = [](int a, int b) {
        auto v = Range(100, 135);
        std::swap(v[a], v[b]);
        return v;
    };
    const struct {
        const char* name;
        int (PtzImage::*move)(int);
        int slot, result;
        std::vector<std::int32_t> left;
    } cases[] = {
        {"up 0", &PtzImage::MoveUp, 0, 1, Range(100, 135)},
        {"up 1", &PtzImage::MoveUp, 1, 1, swapped(0, 1)},
        {"up 35", &PtzImage::MoveUp, 35, 1, swapped(34, 35)},
        {"up 36", &PtzImage::MoveUp, 36, 0, Range(100, 135)},
        {"up -1", &PtzImage::MoveUp, -1, 0, Range(100, 135)},
        {"down 35", &PtzImage::MoveDown, 35, 1, Range(100, 135)},
        {"down 0", &PtzImage::MoveDown, 0, 1, swapped(0, 1)},
        {"down 34", &PtzImage::MoveDown, 34, 1, swapped(34, 35)},
        {"down 36", &PtzImage::MoveDown, 36, 0, Range(100, 135)},
        {"down -1", &PtzImage::MoveDown, -1, 0, Range(100, 135)},
    };
    for (const auto& c : cases) {
        PtzImage image = ImageOf(36);
        EXPECT_EQ((image.*c.move)(c.slot), c.result) << c.name;
        EXPECT_EQ(SlotNumbers(image), c.left) << c.name;
    }
}

TEST(PtzImageTest, ContainsNumberSeesEverySlotAndEmptyOnesAsMinusOne) {
    EXPECT_EQ(ImageOf(0).ContainsNumber(-1), 1);
    EXPECT_EQ(ImageOf(35).ContainsNumber(-1), 1);
    EXPECT_EQ(ImageOf(36).ContainsNumber(-1), 0);
    EXPECT_EQ(ImageOf(36).ContainsNumber(135), 1);
    EXPECT_EQ(ImageOf(36).ContainsNumber(136), 0);
    EXPECT_EQ(ImageOf(0).ContainsNumber(0), 0);
}

TEST(PtzImageTest, PutAndGetOutsideTheSlotsCopyNothing) {
    PtzImage image = ImageOf(2);
    const Bytes before = ImageBytes(image);
    for (int s : {-1, 36, INT_MAX, INT_MIN}) {
        PtzProtocol out = SampleProtocol(7);
        EXPECT_EQ(image.GetSlot(s, out), 0) << s;
        EXPECT_EQ(out, SampleProtocol(7)) << s;
        EXPECT_EQ(image.PutSlot(s, SampleProtocol(8)), 0) << s;
    }
    EXPECT_EQ(ImageBytes(image), before);
}

TEST(PtzImageTest, ValidityNeedsTheExactSize) {
    Bytes file(64660, 0xFF);
    file[0] = 0x24;
    file[1] = 0x3F;
    file[2] = file[3] = 0;
    EXPECT_TRUE(IsValidPtzImage(file));
    EXPECT_FALSE(IsValidPtzImage({}));
    file.insert(file.end(), {0, 0, 0, 0});  // a zero word keeps the sum at 0, not the size
    EXPECT_FALSE(IsValidPtzImage(file));
}

}  // namespace
}  // namespace imgdl::test
