#include "units/ImageSnapshot.h"

#include <unistd.h>

#include <cerrno>
#include <climits>

#include "common/RegularFile.h"
#include "common/Sha256.h"
#include "image/ProbeFirmwareVersion.h"
#include "res/StringTable.h"
#include "session/SessionPayloads.h"

namespace imgdl::units {
namespace {

// The descriptor's whole content, at most `limit` bytes; nothing on a read error or when
// the file is longer than the limit (it may have grown since it was opened).
std::optional<std::vector<std::uint8_t>> ReadAll(int fd, std::uint64_t limit) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) return bytes;
        if (bytes.size() + static_cast<std::size_t>(got) > limit) return std::nullopt;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

}  // namespace

SnapshotResult TakeImageSnapshot(const std::string& path, ImageLayout layout) {
    const OpenedFile file = OpenRegularFileForReading(path);
    if (!file)
        return {nullptr,
                file.failure == OpenFailure::CannotOpen ? IDS_NO_IMAGE_FILE : IDS_CANT_OPEN_IMAGE};
    // The protocol announces the length as a signed 32-bit word.
    auto bytes = ReadAll(file.fd.get(), static_cast<std::uint64_t>(INT32_MAX));
    if (!bytes) return {nullptr, IDS_CANT_OPEN_IMAGE};
    if (layout == ImageLayout::Integrated && bytes->size() < kMinIntegratedSize)
        return {nullptr, IDS_INVALID_FILE_SIZE};
    const std::int32_t version = ProbeFirmwareVersionOf(*bytes, layout, gzip::DiscardSink());
    if (const auto message = ProbeFailureMessage(version)) return {nullptr, *message};

    auto image = std::make_shared<ImageSnapshot>();
    image->sha256 = Sha256Hex(*bytes);
    image->bytes = std::move(*bytes);
    image->layout = layout;
    image->version = static_cast<std::uint32_t>(version);
    image->versionText = FormatVersion(image->version);
    return {std::move(image), 0};
}

}  // namespace imgdl::units
