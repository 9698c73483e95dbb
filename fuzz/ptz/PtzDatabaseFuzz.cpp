// Loads arbitrary bytes as a `.pdb` file, from memory and from a file, and checks the
// results against the file format: which inputs are refused at the header (old records
// kept), which fail later (empty database), and that a loaded database saves back to
// the same records. A few operations then run on what was loaded.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "common/ByteOrder.h"
#include "ptz/PtzDatabase.h"

namespace {

using imgdl::PtzDatabase;
using imgdl::PtzProtocol;
using imgdl::fuzz::Expect;

PtzProtocol Sentinel() {
    PtzProtocol record = PtzProtocol::MakeNew(4242);
    record.reserved = 0xA5;
    return record;
}

PtzDatabase WithSentinel() {
    PtzDatabase db;
    Expect(db.Grow(1) == 1 && db.Put(0, Sentinel()) == 1, "sentinel stored");
    return db;
}

void CheckLoad(std::span<const std::uint8_t> input, const PtzDatabase& db, int result) {
    const bool refused =
        input.size() < imgdl::kPtzDatabaseHeaderSize || input[0] != 0x50 || input[1] != 0x44;
    if (refused) {
        PtzProtocol kept;
        Expect(result == 0 && db.Count() == 1 && db.Get(0, kept) == 1 && kept == Sentinel(),
               "refused header keeps the old records");
        return;
    }
    const auto count = static_cast<std::int32_t>(imgdl::LoadLe32(input.data() + 8));
    const std::size_t records = count > 0 ? static_cast<std::size_t>(count) : 0;
    const std::size_t available =
        (input.size() - imgdl::kPtzDatabaseHeaderSize) / PtzProtocol::kSize;
    if (records > available) {
        Expect(result == 0 && db.Count() == 0, "short file leaves an empty database");
        return;
    }
    Expect(result == 1 && static_cast<std::size_t>(db.Count()) == records, "whole file loads");
    const std::vector<std::uint8_t> saved = db.SaveToBytes();
    const std::size_t body = records * PtzProtocol::kSize;
    Expect(saved.size() == imgdl::kPtzDatabaseHeaderSize + body, "saved size");
    Expect(saved[0] == 0x50 && saved[1] == 0x44 && imgdl::LoadLe16(saved.data() + 2) == 1 &&
               imgdl::LoadLe32(saved.data() + 4) == PtzProtocol::kSize &&
               imgdl::LoadLe32(saved.data() + 8) == records,
           "saved header");
    Expect(std::equal(saved.begin() + imgdl::kPtzDatabaseHeaderSize, saved.end(),
                      input.begin() + imgdl::kPtzDatabaseHeaderSize),
           "records saved byte for byte");
}

void CheckQueries(const PtzDatabase& db) {
    std::int32_t largest = std::numeric_limits<std::int32_t>::min();
    PtzProtocol record;
    for (int i = 0; i < db.Count(); ++i) {
        Expect(db.Get(i, record) == 1, "get in range");
        const int found = db.FindIndex(record.number);
        Expect(found >= 0 && found <= i && db.Contains(record.number) == 1, "find lowest index");
        if (record.number > largest) largest = record.number;
    }
    Expect(db.Get(db.Count(), record) == 0 && db.Get(-1, record) == 0, "get out of range");
    const std::int32_t next = db.NextNumber();
    if (db.Count() == 0)
        Expect(next == 0, "next number of an empty database");
    else if (largest < std::numeric_limits<std::int32_t>::max())
        Expect(next == largest + 1, "next number is largest + 1");
    else
        Expect(next >= 0 && db.Contains(next) == 0, "next number is free and not negative");
}

void CheckRemove(PtzDatabase db, std::span<const std::uint8_t> input) {
    if (input.size() < 2 || db.Count() == 0) return;
    const int index = input[input.size() - 2] % (db.Count() + 2) - 1;
    const int n = input[input.size() - 1] % (db.Count() + 2) - 1;
    const int before = db.Count();
    Expect(db.Remove(index, n) == 1, "remove returns 1");
    const bool acts = n >= 1 && index >= 0 && index + n <= before;
    Expect(db.Count() == (acts ? before - n : before), "remove count");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const imgdl::fuzz::ScratchFile scratch("ptz_database_fuzz");
    const std::span<const std::uint8_t> input(data, size);

    PtzDatabase fromBytes = WithSentinel();
    const int result = fromBytes.LoadFromBytes(input);
    CheckLoad(input, fromBytes, result);

    scratch.Write(input);
    PtzDatabase fromFile = WithSentinel();
    Expect(fromFile.Load(scratch.Path()) == result, "file and bytes give the same result");
    Expect(fromFile.SaveToBytes() == fromBytes.SaveToBytes(), "file and bytes load the same");

    CheckQueries(fromBytes);
    CheckRemove(fromBytes, input);
    return 0;
}
