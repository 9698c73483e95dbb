#pragma once
// The operator's library of PTZ protocols: an ordered array of records and its `.pdb`
// file form (12-byte header "PD", version 1, record size 1796, count; then the records).
// Operations return 1 for success and 0 for failure and show nothing; the callers
// decide what to tell the operator. Numbers are meant to be unique, but the container
// does not enforce it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "ptz/PtzLoadError.h"
#include "ptz/PtzProtocol.h"

namespace imgdl {

inline constexpr std::size_t kPtzDatabaseHeaderSize = 12;
inline constexpr std::uint8_t kPtzDatabaseMagic[2] = {0x50, 0x44};  // "PD"
inline constexpr std::uint16_t kPtzDatabaseVersion = 1;

class PtzDatabase {
  public:
    // Drops every record; the count becomes 0.
    void Clear();
    // The record count.
    int Count() const;
    // Appends n zero-filled records (fill them with Put). n <= 0: no change, 1. A total
    // that cannot be represented or allocated: 0 and the database is unchanged.
    int Grow(int n);
    // Removes the n records from `index`; later records move down in order. n < 1,
    // index < 0, index + n > Count() or an empty database: no change, 1.
    int Remove(int index, int n);
    // The largest number held plus 1; 0 when empty. When the largest number is
    // INT32_MAX there is no larger one: the smallest unused number >= 0 instead.
    std::int32_t NextNumber() const;
    // The number offered for a new protocol: NextNumber, but never below 0 (a database
    // read from a file may hold only negative numbers).
    std::int32_t ProposedNumber() const;
    // Adds `record` after the last one. Memory that runs out: 0, database unchanged.
    int Append(const PtzProtocol& record);
    // The lowest index whose record has `number`, or -1.
    int FindIndex(std::int32_t number) const;
    // 1 when some record has `number`, else 0.
    int Contains(std::int32_t number) const;
    // Copies `record` over / out of the record at index 0 to Count() - 1; any other
    // index returns 0 and copies nothing.
    int Put(int index, const PtzProtocol& record);
    int Get(int index, PtzProtocol& record) const;

    // Replaces the contents with the file's records. Header refused (cannot open, fewer
    // than 12 bytes, not "PD"): 0, contents unchanged. Version and record size are not
    // examined. Count <= 0: empty, 1. Fewer whole records than the count, or no memory
    // for them: 0, empty. Bytes after the records are ignored. `why` tells the cause.
    int Load(const std::filesystem::path& path);
    int Load(const std::filesystem::path& path, PtzLoadError& why);
    // The same rules over the bytes of a file already in memory.
    int LoadFromBytes(std::span<const std::uint8_t> bytes);
    int LoadFromBytes(std::span<const std::uint8_t> bytes, PtzLoadError& why);

    // Writes the file: 1 when every byte was written. The file is replaced only then;
    // on failure an existing file is left untouched.
    int Save(const std::filesystem::path& path) const;
    // The file's bytes (header and records); empty if memory runs out.
    std::vector<std::uint8_t> SaveToBytes() const;

  private:
    // Load's rules over any source: read(buffer) fills the buffer and returns the count.
    template <class Read>
    PtzLoadError LoadThrough(Read&& read);

    std::vector<PtzProtocol> records_;
};

}  // namespace imgdl
