#include "StoredGzip.h"

#include <algorithm>
#include <array>

#include "common/ByteOrder.h"

namespace imgdl::testimage {
namespace {

std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t b[4];
    StoreLe32(b, v);
    out.insert(out.end(), b, b + 4);
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> data) {
    static const auto table = MakeCrcTable();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t byte : data) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::vector<std::uint8_t> StoredGzip(std::span<const std::uint8_t> data,
                                     const GzipHeaderOptions& header) {
    std::uint8_t flags = 0;
    if (!header.name.empty()) flags |= 0x08;
    if (!header.comment.empty()) flags |= 0x10;
    std::vector<std::uint8_t> out = {0x1F, 0x8B, header.method, flags, 0, 0, 0, 0, 0, 3};
    for (const std::string* text : {&header.name, &header.comment}) {
        if (text->empty()) continue;
        out.insert(out.end(), text->begin(), text->end());
        out.push_back(0);
    }
    std::size_t pos = 0;
    do {
        const std::size_t len = std::min<std::size_t>(data.size() - pos, 0xFFFF);
        const bool last = pos + len == data.size();
        out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00 (stored), byte-aligned
        std::uint8_t lens[4];
        StoreLe16(lens, static_cast<std::uint16_t>(len));
        StoreLe16(lens + 2, static_cast<std::uint16_t>(~len));
        out.insert(out.end(), lens, lens + 4);
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(pos),
                   data.begin() + static_cast<std::ptrdiff_t>(pos + len));
        pos += len;
    } while (pos < data.size());
    PutLe32(out, Crc32(data));
    PutLe32(out, static_cast<std::uint32_t>(data.size()));
    return out;
}

}  // namespace imgdl::testimage
