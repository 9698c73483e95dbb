#pragma once
// An image read from its file once. Every unit of a run is sent exactly these bytes, and
// the ledger records their hash and version, whatever happens to the file afterwards.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/ImageLayout.h"

namespace imgdl::units {

struct ImageSnapshot {
    std::vector<std::uint8_t> bytes;
    ImageLayout layout = ImageLayout::Application;
    std::string sha256;         // lowercase hex of `bytes`
    std::uint32_t version = 0;  // the word the compatibility check sends
    std::string versionText;    // MAJOR.MINOR.PATCH
};

// The snapshot, or the string-table id of the message that refuses the file.
struct SnapshotResult {
    std::shared_ptr<const ImageSnapshot> image;
    int refusal = 0;
};

// Reads a regular file whole, then checks its size for the layout and probes its
// version from the bytes read (never from the file a second time).
SnapshotResult TakeImageSnapshot(const std::string& path, ImageLayout layout);

}  // namespace imgdl::units
