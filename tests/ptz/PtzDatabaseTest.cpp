// The protocol database: its operations' results and edge cases, the `.pdb` file it
// writes byte for byte, and what each kind of damaged file leaves in memory.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <vector>

#include "PtzTestFiles.h"
#include "ptz/PtzDatabase.h"
#include "support/Fifo.h"

namespace imgdl::test {
namespace {

PtzDatabase DatabaseOf(std::initializer_list<std::int32_t> numbers) {
    PtzDatabase db;
    for (std::int32_t number : numbers) {
        EXPECT_EQ(db.Grow(1), 1);
        EXPECT_EQ(db.Put(db.Count() - 1, SampleProtocol(number)), 1);
    }
    return db;
}

std::vector<std::int32_t> NumbersOf(const PtzDatabase& db) {
    std::vector<std::int32_t> numbers;
    PtzProtocol record;
    for (int i = 0; i < db.Count(); ++i) {
        EXPECT_EQ(db.Get(i, record), 1);
        numbers.push_back(record.number);
    }
    return numbers;
}

using PtzDatabaseFileTest = PtzFileTest;

TEST_F(PtzDatabaseFileTest, EmptyDatabaseSavesAsTheBareHeader) {
    EXPECT_EQ(PtzDatabase().Save(PathOf("empty.pdb")), 1);
    EXPECT_EQ(ReadBytes(PathOf("empty.pdb")),
              (Bytes{0x50, 0x44, 0x01, 0x00, 0x04, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(PtzDatabaseFileTest, RecordsRoundTripByteForByteInOrder) {
    const PtzDatabase db = DatabaseOf({3, 10, 7});
    ASSERT_EQ(db.Save(PathOf("three.pdb")), 1);
    const Bytes file = ReadBytes(PathOf("three.pdb"));
    ASSERT_EQ(file.size(), 5400u);
    EXPECT_EQ(file[8], 3);
    const std::int32_t numbers[] = {3, 10, 7};
    for (int i = 0; i < 3; ++i) {
        const Bytes expected = BytesOf(SampleProtocol(numbers[i]));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 12 + 1796 * i))
            << i;
    }

    PtzDatabase loaded = DatabaseOf({99});
    ASSERT_EQ(loaded.Load(PathOf("three.pdb")), 1);
    ASSERT_EQ(NumbersOf(loaded), (std::vector<std::int32_t>{3, 10, 7}));
    PtzProtocol record;
    loaded.Get(1, record);
    EXPECT_EQ(record, SampleProtocol(10));  // reserved byte and bytes after the name kept
    EXPECT_EQ(loaded.SaveToBytes(), file);
}

// Each case edits a good file of one record (number 5) and loads it into a database
// that holds records 1 and 2, through the file and from memory alike.
TEST_F(PtzDatabaseFileTest, DamagedFilesLeaveWhatTheFormatPrescribes) {
    using enum PtzLoadError;
    const std::vector<std::int32_t> previous{1, 2}, one{5}, none{};
    const struct {
        const char* name;
        std::function<void(const std::filesystem::path&)> edit;
        int result;
        PtzLoadError why;
        std::vector<std::int32_t> left;
    } cases[] = {
        {"good", [](auto&) {}, 1, kNone, one},
        {"magic PX", [](auto& p) { SetByte(p, 1, 'X'); }, 0, kBadMagic, previous},
        {"magic xD", [](auto& p) { SetByte(p, 0, 'p'); }, 0, kBadMagic, previous},
        {"11-byte header", [](auto& p) { Truncate(p, 11); }, 0, kShortHeader, previous},
        {"empty file", [](auto& p) { Truncate(p, 0); }, 0, kShortHeader, previous},
        {"11 bytes, magic xD",  // too short is told before the magic is looked at
         [](auto& p) {
             SetByte(p, 0, 'p');
             Truncate(p, 11);
         },
         0, kShortHeader, previous},
        {"version 2", [](auto& p) { SetByte(p, 2, 2); }, 1, kNone, one},
        {"record size 100", [](auto& p) { SetLe32(p, 4, 100); }, 1, kNone, one},
        {"count 0", [](auto& p) { SetLe32(p, 8, 0); }, 1, kNone, none},
        {"count -1", [](auto& p) { SetLe32(p, 8, 0xFFFFFFFF); }, 1, kNone, none},
        {"count 2, one record", [](auto& p) { SetLe32(p, 8, 2); }, 0, kShortRecords, none},
        {"record cut short", [](auto& p) { Truncate(p, 12 + 1795); }, 0, kShortRecords, none},
        {"count INT_MAX", [](auto& p) { SetLe32(p, 8, INT_MAX); }, 0, kShortRecords, none},
        {"trailing bytes", [](auto& p) { Append(p, Bytes(100, 0xEE)); }, 1, kNone, one},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = PathOf("case.pdb");
        ASSERT_EQ(DatabaseOf({5}).Save(path), 1);
        c.edit(path);
        PtzDatabase fromFile = DatabaseOf({1, 2});
        EXPECT_EQ(fromFile.Load(path), c.result);
        EXPECT_EQ(NumbersOf(fromFile), c.left);
        PtzDatabase fromBytes = DatabaseOf({1, 2});
        EXPECT_EQ(fromBytes.LoadFromBytes(ReadBytes(path)), c.result);
        EXPECT_EQ(NumbersOf(fromBytes), c.left);

        PtzLoadError why = kNoMemory;  // anything the loader must overwrite
        PtzDatabase withReason = DatabaseOf({1, 2});
        EXPECT_EQ(withReason.Load(path, why), c.result);
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(NumbersOf(withReason), c.left);
        why = kNoMemory;
        withReason = DatabaseOf({1, 2});
        EXPECT_EQ(withReason.LoadFromBytes(ReadBytes(path), why), c.result);
        EXPECT_EQ(why, c.why);
    }
}

TEST_F(PtzDatabaseFileTest, UnreadablePathsLeaveTheDatabaseUnchanged) {
    PtzDatabase db = DatabaseOf({1, 2});
    EXPECT_EQ(db.Load(PathOf("missing.pdb")), 0);
    std::filesystem::create_directory(PathOf("folder"));
    EXPECT_EQ(db.Load(PathOf("folder")), 0);
    MakeFifo(PathOf("pipe"));
    EXPECT_EQ(WithoutBlocking<int>(PathOf("pipe"), [&] { return db.Load(PathOf("pipe")); }), 0);
    EXPECT_EQ(NumbersOf(db), (std::vector<std::int32_t>{1, 2}));
}

TEST_F(PtzDatabaseFileTest, UnreadablePathsSayWhy) {
    std::filesystem::create_directory(PathOf("folder"));
    MakeFifo(PathOf("pipe"));
    const std::pair<const char*, PtzLoadError> cases[] = {
        {"missing.pdb", PtzLoadError::kCannotOpen},
        {"folder", PtzLoadError::kNotRegularFile},
        {"pipe", PtzLoadError::kNotRegularFile},
    };
    for (const auto& [name, expected] : cases) {
        PtzDatabase db = DatabaseOf({1, 2});
        PtzLoadError why = PtzLoadError::kNone;
        EXPECT_EQ(WithoutBlocking<int>(PathOf(name), [&] { return db.Load(PathOf(name), why); }), 0)
            << name;
        EXPECT_EQ(why, expected) << name;
        EXPECT_EQ(NumbersOf(db), (std::vector<std::int32_t>{1, 2})) << name;
    }
}

TEST(PtzDatabaseTest, RemoveClosesTheGapOrChangesNothing) {
    const struct {
        int index, n;
        std::vector<std::int32_t> left;
    } cases[] = {
        {1, 2, {3}},
        {2, 2, {3, 10, 7}},
        {0, 3, {}},
        {1, 1, {3, 7}},
        {2, 1, {3, 10}},
        {0, 0, {3, 10, 7}},
        {0, -1, {3, 10, 7}},
        {-1, 1, {3, 10, 7}},
        {3, 1, {3, 10, 7}},
        {1, INT_MAX, {3, 10, 7}},
        {INT_MAX, 1, {3, 10, 7}},
    };
    for (const auto& c : cases) {
        PtzDatabase db = DatabaseOf({3, 10, 7});
        EXPECT_EQ(db.Remove(c.index, c.n), 1) << c.index << "," << c.n;
        EXPECT_EQ(NumbersOf(db), c.left) << c.index << "," << c.n;
    }
    PtzDatabase empty;
    EXPECT_EQ(empty.Remove(0, 1), 1);
    EXPECT_EQ(empty.Count(), 0);
}

TEST(PtzDatabaseTest, NextNumberIsOneAboveTheLargest) {
    const struct {
        std::vector<std::int32_t> numbers;
        std::int32_t next;
    } cases[] = {
        {{}, 0},
        {{3, 10, 7}, 11},
        {{3, 41}, 42},
        {{-5, -9}, -4},
        // No number above INT_MAX: the smallest free one that is not negative.
        {{INT_MAX, 0, 1}, 2},
        {{INT_MAX}, 0},
    };
    for (const auto& c : cases) {
        PtzDatabase db;
        for (std::int32_t number : c.numbers) {
            db.Grow(1);
            db.Put(db.Count() - 1, PtzProtocol::MakeNew(number));
        }
        EXPECT_EQ(db.NextNumber(), c.next) << ::testing::PrintToString(c.numbers);
    }
}

// The number the creator offers for a new protocol never goes below 0, even where the
// next number would.
TEST(PtzDatabaseTest, ProposedNumberIsTheNextButNeverNegative) {
    const struct {
        std::vector<std::int32_t> numbers;
        std::int32_t proposed;
    } cases[] = {
        {{}, 0}, {{3, 10, 7}, 11}, {{-5, -9}, 0}, {{-1}, 0}, {{-2, 4}, 5}, {{INT_MAX, 0}, 1},
    };
    for (const auto& c : cases) {
        PtzDatabase db;
        for (std::int32_t number : c.numbers) EXPECT_EQ(db.Append(PtzProtocol::MakeNew(number)), 1);
        EXPECT_EQ(db.ProposedNumber(), c.proposed) << ::testing::PrintToString(c.numbers);
    }
}

TEST(PtzDatabaseTest, AppendAddsACopyAfterTheLastRecord) {
    PtzDatabase db = DatabaseOf({3, 10});
    EXPECT_EQ(db.Append(SampleProtocol(3)), 1);  // numbers are not checked for uniqueness
    EXPECT_EQ(db.Append(SampleProtocol(7)), 1);
    EXPECT_EQ(NumbersOf(db), (std::vector<std::int32_t>{3, 10, 3, 7}));
    PtzProtocol record;
    ASSERT_EQ(db.Get(3, record), 1);
    EXPECT_EQ(record, SampleProtocol(7));  // every byte, not only the number
}

TEST(PtzDatabaseTest, FindIndexReturnsTheLowestIndexOfDuplicates) {
    const PtzDatabase db = DatabaseOf({5, 9, 5});
    EXPECT_EQ(db.FindIndex(5), 0);
    EXPECT_EQ(db.FindIndex(9), 1);
    EXPECT_EQ(db.FindIndex(4), -1);
    EXPECT_EQ(db.Contains(5), 1);
    EXPECT_EQ(db.Contains(4), 0);
    EXPECT_EQ(PtzDatabase().FindIndex(0), -1);
}

TEST(PtzDatabaseTest, PutAndGetOutsideTheRecordsCopyNothing) {
    PtzDatabase db = DatabaseOf({3, 10, 7});
    for (int index : {-1, 3, INT_MAX, INT_MIN}) {
        PtzProtocol out = SampleProtocol(55);
        EXPECT_EQ(db.Get(index, out), 0) << index;
        EXPECT_EQ(out, SampleProtocol(55)) << index;
        EXPECT_EQ(db.Put(index, SampleProtocol(66)), 0) << index;
    }
    EXPECT_EQ(NumbersOf(db), (std::vector<std::int32_t>{3, 10, 7}));
    EXPECT_EQ(db.Put(2, SampleProtocol(66)), 1);
    EXPECT_EQ(NumbersOf(db), (std::vector<std::int32_t>{3, 10, 66}));
}

TEST(PtzDatabaseTest, GrowAppendsOrRefusesWithoutChange) {
    PtzDatabase db = DatabaseOf({3});
    EXPECT_EQ(db.Grow(0), 1);
    EXPECT_EQ(db.Grow(-4), 1);
    EXPECT_EQ(db.Count(), 1);
    // Count is a signed 32-bit value: a total above INT_MAX cannot be represented.
    EXPECT_EQ(db.Grow(INT_MAX), 0);
    EXPECT_EQ(NumbersOf(db), (std::vector<std::int32_t>{3}));
    EXPECT_EQ(db.Grow(2), 1);
    EXPECT_EQ(NumbersOf(db), (std::vector<std::int32_t>{3, 0, 0}));
}

TEST(PtzDatabaseTest, GrowThatCannotBeAllocatedChangesNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer aborts on a failed allocation instead of throwing";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer aborts on a failed allocation instead of throwing";
#endif
#endif
    std::ifstream policy("/proc/sys/vm/overcommit_memory");
    int mode = -1;
    if (!(policy >> mode) || mode == 1)
        GTEST_SKIP() << "memory overcommit would grant 3.8 TB and then fault in its pages";
    PtzDatabase db;
    EXPECT_EQ(db.Grow(INT_MAX), 0);  // 2^31 - 1 records of 1796 bytes
    EXPECT_EQ(db.Count(), 0);
}

}  // namespace
}  // namespace imgdl::test
