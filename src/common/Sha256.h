#pragma once
// SHA-256 (FIPS 180-4), for recording which image a unit received.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace imgdl {

class Sha256 {
  public:
    Sha256();
    void update(std::span<const std::uint8_t> bytes);
    std::array<std::uint8_t, 32> finish();

  private:
    void block(const std::uint8_t* p);

    std::array<std::uint32_t, 8> h_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t total_ = 0;
};

// Lowercase hex of the digest of `bytes`.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);
// Of a regular file's content; nothing when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace imgdl
