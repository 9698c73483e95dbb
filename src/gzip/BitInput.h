#pragma once
// Least-significant-bit-first reader over the compressed bytes.
//
// Bytes are fetched one at a time, only when a request needs more bits than are
// held. A fetch that would take the input's last byte fails the request: a
// well-formed member always has its trailer behind the compressed data, so the
// decoder never needs that byte. Fetching exactly as much as each request needs
// keeps the consumed position identical to a plain byte-at-a-time reader, also
// when decoding fails.
#include <cstddef>
#include <cstdint>

#include "gzip/GzipInflater.h"

namespace imgdl::gzip {

class BitInput {
  public:
    explicit BitInput(MemoryStream& stream)
        : stream_(&stream), pos_(stream.position), end_(stream.end) {}

    // Makes at least n bits (n <= 16) available; false when that would take the
    // last input byte. The failing fetch consumes that byte, as getByte would.
    bool need(unsigned n) {
        while (count_ < n) {
            const std::ptrdiff_t left = end_ - pos_;
            if (left < 2) {
                if (left == 1) ++pos_;
                return false;
            }
            fetch();
        }
        return true;
    }

    // Bytes that may still be fetched without touching the last input byte.
    std::size_t spareBytes() const {
        const std::ptrdiff_t left = end_ - pos_;
        return left > 1 ? static_cast<std::size_t>(left - 1) : 0;
    }

    unsigned peek(unsigned n) const { return peekMasked((1u << n) - 1u); }
    unsigned peekMasked(unsigned mask) const { return static_cast<unsigned>(bits_) & mask; }
    void drop(unsigned n) {
        bits_ >>= n;
        count_ -= n;
    }
    unsigned held() const { return count_; }

    // Stored blocks start on a byte boundary.
    void alignToByte() { drop(count_ & 7u); }

    // Raw access for stored data once no bits are held.
    const std::uint8_t* position() const { return pos_; }
    const std::uint8_t* end() const { return end_; }

    // The whole reader state, for a decoder that keeps it in registers. bits holds
    // count valid bits and zeros above them.
    struct Raw {
        std::uint8_t* pos;
        std::uint64_t bits;
        unsigned count;
    };
    Raw raw() const { return {pos_, bits_, count_}; }
    void setRaw(const Raw& raw) {
        pos_ = raw.pos;
        bits_ = raw.bits;
        count_ = raw.count;
    }
    void skipBytes(std::size_t n) { pos_ += n; }

    // Writes the position back to the stream.
    void commit() { stream_->position = pos_; }

    // After the last block: whole bytes still held go back to the input, so the
    // stream stands on the first byte after the compressed data.
    void returnHeldBytes() {
        alignToByte();
        commit();
        while (count_ >= 8) {
            ungetByte(*stream_);
            count_ -= 8;
        }
        bits_ = 0;
        pos_ = stream_->position;
    }

  private:
    void fetch() {
        bits_ |= static_cast<std::uint64_t>(*pos_++) << count_;
        count_ += 8;
    }

    MemoryStream* stream_;
    std::uint8_t* pos_;
    const std::uint8_t* end_;  // the stream's end, kept here so byte stores cannot alias it
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
};

}  // namespace imgdl::gzip
