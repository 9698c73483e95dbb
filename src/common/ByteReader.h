#pragma once
// A cursor over bytes held in memory, for fixed layouts read front to back. Every read
// checks that its bytes are there; after the first short read the reader stays failed
// and every later read fails too, so a loader checks once, at the end.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "common/ByteOrder.h"

namespace imgdl {

class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::optional<std::uint8_t> u8() {
        const auto b = take(1);
        if (!b) return std::nullopt;
        return (*b)[0];
    }
    std::optional<std::uint32_t> le32() {
        const auto b = take(4);
        if (!b) return std::nullopt;
        return LoadLe32(b->data());
    }
    std::optional<std::uint32_t> be32() {
        const auto b = take(4);
        if (!b) return std::nullopt;
        return LoadBe32(b->data());
    }
    // The next n bytes, or nothing (and the reader fails) when fewer are left.
    std::optional<std::span<const std::uint8_t>> take(std::size_t n) {
        if (failed_ || n > remaining()) {
            failed_ = true;
            return std::nullopt;
        }
        const auto part = bytes_.subspan(position_, n);
        position_ += n;
        return part;
    }
    bool skip(std::size_t n) { return take(n).has_value(); }

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return bytes_.size() - position_; }
    bool failed() const { return failed_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

}  // namespace imgdl
