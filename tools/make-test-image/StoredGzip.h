#pragma once
// A gzip member whose DEFLATE data is stored blocks only: valid input for any
// decompressor, made without a compression library.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace imgdl::testimage {

std::uint32_t Crc32(std::span<const std::uint8_t> data);

struct GzipHeaderOptions {
    std::string name;     // FNAME when not empty
    std::string comment;  // FCOMMENT when not empty
    std::uint8_t method = 8;
};

std::vector<std::uint8_t> StoredGzip(std::span<const std::uint8_t> data,
                                     const GzipHeaderOptions& header = {});

}  // namespace imgdl::testimage
