#include "image/ProbeFirmwareVersion.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <optional>

#include "common/ByteOrder.h"
#include "common/RegularFile.h"
#include "gzip/GzipInflater.h"
#include "res/StringTable.h"

namespace imgdl {
namespace {

// Reads exactly count bytes at offset; false on a short file or an error.
bool ReadAt(int fd, std::uint8_t* out, std::size_t count, std::uint64_t offset) {
    while (count > 0) {
        const ssize_t got = ::pread(fd, out, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        count -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

// A zero-filled buffer, or null when memory ran out.
std::unique_ptr<std::uint8_t[]> TakeBuffer(std::size_t size) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size ? size : 1]());
}

// The compressed application of the file, or nullopt when the file is too short.
struct Member {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t length = 0;
};

std::optional<Member> ReadMember(int fd, std::uint64_t fileLength, std::size_t appStart,
                                 bool& outOfMemory) {
    std::uint8_t header[4];
    const std::uint64_t headerAt = appStart + kAppHeaderOffset;
    if (fileLength < headerAt + sizeof header || !ReadAt(fd, header, sizeof header, headerAt))
        return std::nullopt;
    Member member;
    member.length = LoadLe32(header);
    const std::uint64_t memberAt = appStart + kAppMemberOffset;
    if (fileLength < memberAt || fileLength - memberAt < member.length) return std::nullopt;
    member.bytes = TakeBuffer(member.length);
    if (!member.bytes) {
        outOfMemory = true;
        return std::nullopt;
    }
    if (!ReadAt(fd, member.bytes.get(), member.length, memberAt)) return std::nullopt;
    return member;
}

// Expands one gzip member into the probe's region and reads the version tag there.
std::int32_t ExpandAndFind(std::uint8_t* member, std::size_t length,
                           gzip::DiagnosticSink& diagnostics) {
    auto region = TakeBuffer(kProbeRegionSize);
    if (!region) return kProbeOutOfMemory;
    MemoryStream input = openMemoryStream(member, length);
    MemoryStream output = openMemoryStream(region.get(), kProbeRegionSize);
    if (GzipInflater::unzip(input, output, diagnostics) != 0) return kProbeNoVersion;
    return FindVersionTag(std::span<const std::uint8_t>(region.get(), kProbeRegionSize));
}

}  // namespace

std::int32_t ProbeFirmwareVersion(const std::string& path, ImageLayout layout,
                                  gzip::DiagnosticSink& diagnostics) {
    OpenedFile file = OpenRegularFileForReading(path);
    if (!file) return kProbeCannotOpen;

    bool outOfMemory = false;
    auto member = ReadMember(file.fd.get(), file.size, ApplicationStart(layout), outOfMemory);
    file.fd.reset();  // the file is read; nothing else needs it
    if (outOfMemory) return kProbeOutOfMemory;
    if (!member) return kProbeNoVersion;

    return ExpandAndFind(member->bytes.get(), member->length, diagnostics);
}

std::int32_t ProbeFirmwareVersionOf(std::span<const std::uint8_t> image, ImageLayout layout,
                                    gzip::DiagnosticSink& diagnostics) {
    const std::uint64_t headerAt = ApplicationStart(layout) + kAppHeaderOffset;
    if (image.size() < headerAt + 4) return kProbeNoVersion;
    const std::uint32_t length = LoadLe32(image.data() + headerAt);
    const std::uint64_t memberAt = ApplicationStart(layout) + kAppMemberOffset;
    if (image.size() < memberAt || image.size() - memberAt < length) return kProbeNoVersion;
    // The decompressor reads through a mutable stream; it gets a copy, never the image.
    auto member = TakeBuffer(length);
    if (!member) return kProbeOutOfMemory;
    std::copy_n(image.data() + memberAt, length, member.get());
    return ExpandAndFind(member.get(), length, diagnostics);
}

std::optional<int> ProbeFailureMessage(std::int32_t version) {
    if (version == kProbeNoVersion) return IDS_NO_IMAGE_FILE;
    if (version == kProbeCannotOpen || version == kProbeOutOfMemory) return IDS_INVALID_DATA;
    return std::nullopt;
}

}  // namespace imgdl
