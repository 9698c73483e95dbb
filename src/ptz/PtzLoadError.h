#pragma once
// Why a PTZ database or image did not load. The loaders keep their 1 / 0 results; the
// reason is for callers and tests that must tell one damaged file from another. Only
// what the loaders really check has a reason: a database's version, record size and
// trailing bytes and an image's checksum are not examined when loading.
namespace imgdl {

enum class PtzLoadError {
    kNone,            // loaded
    kCannotOpen,      // missing, no permission, ...
    kNotRegularFile,  // a folder, FIFO, device or socket
    kShortHeader,     // a database shorter than its 12-byte header
    kBadMagic,        // a database that does not start with "PD"
    kShortRecords,    // a database with fewer whole records than its count
    kNoMemory,        // a database whose records could not be allocated
    kShortImage,      // an image shorter than 64660 bytes
};

}  // namespace imgdl
