#pragma once
// Opening a file the operator named. Only a regular file is taken: a FIFO would block
// open() until some writer came, and a directory or a device is no image. The open
// itself never waits, whatever stands under the name.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/UniqueFd.h"

namespace imgdl {

enum class FileAccess { ReadOnly, ReadWrite };

enum class OpenFailure {
    None,
    CannotOpen,      // open() or fstat() failed: missing, no permission, ...
    NotRegularFile,  // it opened, but is a directory, FIFO, device or socket
};

struct OpenedFile {
    UniqueFd fd;             // open, blocking reads, on success
    std::uint64_t size = 0;  // the file's length when it was opened
    OpenFailure failure = OpenFailure::None;
    explicit operator bool() const { return fd.valid(); }
};

OpenedFile OpenRegularFile(const std::filesystem::path& path, FileAccess access);

inline OpenedFile OpenRegularFileForReading(const std::filesystem::path& path) {
    return OpenRegularFile(path, FileAccess::ReadOnly);
}

// The whole contents of a regular file; nothing when it cannot be opened, is not a
// regular file, or a read fails.
std::optional<std::vector<std::uint8_t>> ReadRegularFile(const std::filesystem::path& path);

// A small settings file a person wrote: its text, or why not ("PATH: not a regular
// file", "PATH: too big for WHAT", "PATH: cannot be read").
struct SmallTextFile {
    std::string text;
    std::string error;  // empty when `text` is the file's
};
SmallTextFile ReadSmallTextFile(const std::string& path, std::uint64_t largest,
                                const std::string& what);

}  // namespace imgdl
