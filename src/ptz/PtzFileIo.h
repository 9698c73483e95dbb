#pragma once
// File access shared by the PTZ database and image: reading as much of a file as
// there is, and replacing a file only once its new contents are completely written
// (or, where its folder allows no new file, writing it in place).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "common/UniqueFd.h"
#include "ptz/PtzLoadError.h"

namespace imgdl::ptz_io {

// Opens an existing regular file for reading, without waiting on a FIFO; invalid on
// failure and for anything that is not a regular file, with `why` saying which.
UniqueFd OpenForReading(const std::filesystem::path& path, PtzLoadError& why);

// Reads until `buffer` is full, the file ends or a read fails; returns the count read.
std::size_t ReadUpTo(int fd, std::span<std::uint8_t> buffer);

// Writes `bytes` to a new file beside `target`, flushes it and renames it over
// `target`, which keeps its permission bits. On any failure the temporary file is
// removed and `target` is left exactly as it was. When the folder refuses the temporary
// file (permissions) but `target` is a writable regular file, `target` is written in
// place instead; a failure midway through that leaves it part written. Returns true
// when the new contents are in place.
bool ReplaceFile(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

}  // namespace imgdl::ptz_io
