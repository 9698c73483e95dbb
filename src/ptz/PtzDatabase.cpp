#include "ptz/PtzDatabase.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "common/ByteOrder.h"
#include "common/ByteReader.h"
#include "ptz/PtzFileIo.h"

namespace imgdl {
namespace {

constexpr std::uint8_t kMagic0 = kPtzDatabaseMagic[0];
constexpr std::uint8_t kMagic1 = kPtzDatabaseMagic[1];
constexpr std::size_t kCountOffset = 8;
// Records are read this many at a time, so a count far beyond the file's length
// costs no more memory than the records that are really there.
constexpr std::size_t kRecordsPerRead = 64;

// Reads a `.pdb` file through `read(buffer) -> bytes read` into `records`.
template <class Read>
PtzLoadError ReadPdb(Read&& read, std::vector<PtzProtocol>& records) {
    std::array<std::uint8_t, kPtzDatabaseHeaderSize> header{};
    if (read(std::span<std::uint8_t>(header)) != header.size()) return PtzLoadError::kShortHeader;
    ByteReader fields(header);
    if (fields.u8() != kMagic0 || fields.u8() != kMagic1) return PtzLoadError::kBadMagic;
    fields.skip(kCountOffset - 2);  // version and record size: not checked
    const auto count = static_cast<std::int32_t>(fields.le32().value_or(0));
    if (count <= 0) return PtzLoadError::kNone;
    try {
        std::vector<std::uint8_t> buffer(kRecordsPerRead * PtzProtocol::kSize);
        auto remaining = static_cast<std::size_t>(count);
        records.reserve(std::min(remaining, kRecordsPerRead));
        while (remaining > 0) {
            const std::size_t batch = std::min(remaining, kRecordsPerRead);
            const std::span<std::uint8_t> chunk(buffer.data(), batch * PtzProtocol::kSize);
            if (read(chunk) != chunk.size()) return PtzLoadError::kShortRecords;
            for (std::size_t i = 0; i < batch; ++i)
                records.push_back(PtzProtocol::FromBytes(
                    chunk.subspan(i * PtzProtocol::kSize).first<PtzProtocol::kSize>()));
            remaining -= batch;
        }
        records.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        return PtzLoadError::kNoMemory;
    } catch (const std::length_error&) {
        return PtzLoadError::kNoMemory;
    }
    return PtzLoadError::kNone;
}

// A refused header costs nothing of the database; a failure among the records
// leaves it empty.
bool LeavesDatabaseUnchanged(PtzLoadError why) {
    return why == PtzLoadError::kShortHeader || why == PtzLoadError::kBadMagic;
}

}  // namespace

void PtzDatabase::Clear() {
    records_ = {};
}

int PtzDatabase::Count() const {
    return static_cast<int>(records_.size());
}

int PtzDatabase::Grow(int n) {
    if (n <= 0) return 1;
    const std::int64_t total = static_cast<std::int64_t>(records_.size()) + n;
    if (total > std::numeric_limits<std::int32_t>::max() ||
        static_cast<std::uint64_t>(total) > records_.max_size())
        return 0;
    try {
        std::vector<PtzProtocol> grown;
        grown.reserve(static_cast<std::size_t>(total));
        grown.assign(records_.begin(), records_.end());
        grown.resize(static_cast<std::size_t>(total));
        records_.swap(grown);
    } catch (const std::bad_alloc&) {
        return 0;
    } catch (const std::length_error&) {
        return 0;
    }
    return 1;
}

int PtzDatabase::Remove(int index, int n) {
    if (n < 1 || index < 0 || records_.empty() || static_cast<std::int64_t>(index) + n > Count())
        return 1;
    const auto first = records_.begin() + index;
    records_.erase(first, first + n);
    if (records_.empty())
        Clear();
    else
        records_.shrink_to_fit();
    return 1;
}

std::int32_t PtzDatabase::NextNumber() const {
    if (records_.empty()) return 0;
    const auto byNumber = [](const PtzProtocol& a, const PtzProtocol& b) {
        return a.number < b.number;
    };
    const std::int32_t largest =
        std::max_element(records_.begin(), records_.end(), byNumber)->number;
    if (largest < std::numeric_limits<std::int32_t>::max()) return largest + 1;
    // Largest + 1 would overflow into a negative number. Among n records some number
    // in 0..n is free; take the smallest.
    try {
        std::vector<bool> used(records_.size() + 1);
        for (const PtzProtocol& record : records_)
            if (record.number >= 0 && static_cast<std::size_t>(record.number) < used.size())
                used[static_cast<std::size_t>(record.number)] = true;
        return static_cast<std::int32_t>(std::find(used.begin(), used.end(), false) - used.begin());
    } catch (const std::bad_alloc&) {
        std::int32_t candidate = 0;
        while (Contains(candidate)) ++candidate;
        return candidate;
    }
}

std::int32_t PtzDatabase::ProposedNumber() const {
    return std::max<std::int32_t>(NextNumber(), 0);
}

int PtzDatabase::Append(const PtzProtocol& record) {
    if (!Grow(1)) return 0;
    records_.back() = record;
    return 1;
}

int PtzDatabase::FindIndex(std::int32_t number) const {
    const auto found = std::find_if(records_.begin(), records_.end(),
                                    [number](const PtzProtocol& r) { return r.number == number; });
    return found == records_.end() ? -1 : static_cast<int>(found - records_.begin());
}

int PtzDatabase::Contains(std::int32_t number) const {
    return FindIndex(number) >= 0 ? 1 : 0;
}

int PtzDatabase::Put(int index, const PtzProtocol& record) {
    if (index < 0 || index >= Count()) return 0;
    records_[static_cast<std::size_t>(index)] = record;
    return 1;
}

int PtzDatabase::Get(int index, PtzProtocol& record) const {
    if (index < 0 || index >= Count()) return 0;
    record = records_[static_cast<std::size_t>(index)];
    return 1;
}

template <class Read>
PtzLoadError PtzDatabase::LoadThrough(Read&& read) {
    std::vector<PtzProtocol> loaded;
    const PtzLoadError why = ReadPdb(read, loaded);
    if (why == PtzLoadError::kNone)
        records_.swap(loaded);
    else if (!LeavesDatabaseUnchanged(why))
        Clear();
    return why;
}

int PtzDatabase::Load(const std::filesystem::path& path) {
    PtzLoadError why = PtzLoadError::kNone;
    return Load(path, why);
}

int PtzDatabase::Load(const std::filesystem::path& path, PtzLoadError& why) {
    const UniqueFd fd = ptz_io::OpenForReading(path, why);
    if (!fd) return 0;
    why = LoadThrough(
        [&fd](std::span<std::uint8_t> buffer) { return ptz_io::ReadUpTo(fd.get(), buffer); });
    return why == PtzLoadError::kNone ? 1 : 0;
}

int PtzDatabase::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    PtzLoadError why = PtzLoadError::kNone;
    return LoadFromBytes(bytes, why);
}

int PtzDatabase::LoadFromBytes(std::span<const std::uint8_t> bytes, PtzLoadError& why) {
    why = LoadThrough([&bytes](std::span<std::uint8_t> buffer) {
        const std::size_t n = std::min(buffer.size(), bytes.size());
        if (n > 0) std::memcpy(buffer.data(), bytes.data(), n);
        bytes = bytes.subspan(n);
        return n;
    });
    return why == PtzLoadError::kNone ? 1 : 0;
}

std::vector<std::uint8_t> PtzDatabase::SaveToBytes() const {
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(kPtzDatabaseHeaderSize + records_.size() * PtzProtocol::kSize);
    } catch (const std::bad_alloc&) {
        return {};
    } catch (const std::length_error&) {
        return {};
    }
    bytes[0] = kMagic0;
    bytes[1] = kMagic1;
    StoreLe16(bytes.data() + 2, kPtzDatabaseVersion);
    StoreLe32(bytes.data() + 4, static_cast<std::uint32_t>(PtzProtocol::kSize));
    StoreLe32(bytes.data() + kCountOffset, static_cast<std::uint32_t>(records_.size()));
    std::uint8_t* out = bytes.data() + kPtzDatabaseHeaderSize;
    for (const PtzProtocol& record : records_) {
        record.ToBytes(std::span<std::uint8_t, PtzProtocol::kSize>(out, PtzProtocol::kSize));
        out += PtzProtocol::kSize;
    }
    return bytes;
}

int PtzDatabase::Save(const std::filesystem::path& path) const {
    const std::vector<std::uint8_t> bytes = SaveToBytes();
    if (bytes.empty()) return 0;
    return ptz_io::ReplaceFile(path, bytes) ? 1 : 0;
}

}  // namespace imgdl
