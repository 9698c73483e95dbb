#include "common/Sha256.h"

#include <unistd.h>

#include <cerrno>

#include "common/RegularFile.h"

namespace imgdl {

Sha256::Sha256() {
    sha256_init(&context_);
}

void Sha256::update(std::span<const std::uint8_t> bytes) {
    sha256_update(&context_, bytes.size(), bytes.data());
}

std::array<std::uint8_t, 32> Sha256::finish() {
    std::array<std::uint8_t, 32> digest{};
    sha256_digest(&context_, digest.size(), digest.data());
    return digest;
}

namespace {

std::string Hex(const std::array<std::uint8_t, 32>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : digest) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

}  // namespace

std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    Sha256 sha;
    sha.update(bytes);
    return Hex(sha.finish());
}

std::optional<std::string> Sha256OfFile(const std::string& path) {
    OpenedFile file = OpenRegularFileForReading(path);
    if (!file) return std::nullopt;
    Sha256 sha;
    std::uint8_t chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(file.fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        sha.update({chunk, static_cast<std::size_t>(n)});
    }
    return Hex(sha.finish());
}

}  // namespace imgdl
