#pragma once
// SHA-256 (FIPS 180-4), for recording which image a unit received: nettle's, a maintained
// implementation, behind the few calls the program makes.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <nettle/sha2.h>

namespace imgdl {

class Sha256 {
  public:
    Sha256();
    void update(std::span<const std::uint8_t> bytes);
    std::array<std::uint8_t, 32> finish();

  private:
    sha256_ctx context_{};
};

// Lowercase hex of the digest of `bytes`.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);
// Of a regular file's content; nothing when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace imgdl
