// The version probe's work done with libdeflate, as a yardstick for instruction
// counts: read the compressed application of an image file, expand it into a
// zero-filled 4 MiB region and find the "$version: " tag.
//   libdeflate_probe IMAGE     prints the tag's offset, or -1
#include <libdeflate.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kHeaderAt = 0xCF80;  // compressed length, little-endian
constexpr std::size_t kMemberAt = 0xD000;
constexpr std::size_t kRegionSize = 0x400000;

bool ReadAt(std::ifstream& in, std::size_t offset, std::uint8_t* out, std::size_t count) {
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(in.gcount()) == count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: libdeflate_probe IMAGE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::uint8_t header[4];
    if (!in || !ReadAt(in, kHeaderAt, header, sizeof header)) return 1;
    const std::size_t length = header[0] | (header[1] << 8) | (header[2] << 16) |
                               (static_cast<std::size_t>(header[3]) << 24);
    std::vector<std::uint8_t> member(length);
    if (!ReadAt(in, kMemberAt, member.data(), length)) return 1;

    auto region = std::make_unique<std::uint8_t[]>(kRegionSize);  // zero-filled
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::size_t produced = 0;
    const libdeflate_result r =
        libdeflate_gzip_decompress(d, member.data(), length, region.get(), kRegionSize, &produced);
    libdeflate_free_decompressor(d);
    if (r != LIBDEFLATE_SUCCESS) return 1;

    constexpr std::string_view kTag = "$version: ";
    const void* at = memmem(region.get(), kRegionSize, kTag.data(), kTag.size());
    std::printf("%ld\n", at == nullptr ? -1L : static_cast<const std::uint8_t*>(at) - region.get());
    return 0;
}
