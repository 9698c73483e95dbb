#pragma once
// The sliding window, which also stages decoded bytes. It is laid out flat: the
// 32 KiB of history a distance may reach lie in front of the pending bytes, so a
// match source never wraps. Whenever 32 KiB are pending, and once at the end, they
// go to the CRC and to the output.
//
// Once 32 KiB have been flushed and the output region has room for 32 KiB more,
// the window is the region itself: bytes are decoded in place and a flush only
// moves the region's position, so nothing is copied. The caller's bytes there are
// kept aside first (or just noted to be zeros), because pending bytes must never
// be seen in the region: a failure puts them back, and the end puts back whatever
// lies behind the data. Near the region's end, the window goes back to its own
// buffer, where a flush copies what still fits.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "gzip/Diagnostics.h"
#include "gzip/GzipInflater.h"

namespace imgdl::gzip {

class InflateWindow {
  public:
    static constexpr unsigned kSize = 32768;     // history, and the flush unit
    static constexpr unsigned kStart = kSize;    // index of the first pending byte
    static constexpr unsigned kEnd = 2 * kSize;  // pending bytes are flushed here
    // Room behind kEnd: the fast decoder may finish a step past kEnd (three
    // literals and a longest match) and writes whole words past a match's end.
    static constexpr unsigned kSlack = 320;

    // Takes the buffer; false when the memory cannot be had. The history before
    // the first output byte reads as zeros.
    bool allocate();

    void setOutput(MemoryStream& output) { output_ = &output; }
    void setDiagnostics(DiagnosticSink& diagnostics) { diagnostics_ = &diagnostics; }
    // Index 0 of the window; it moves when a flush moves the window.
    std::uint8_t* data() { return base_; }
    // Index of the next byte to write, kStart..kEnd.
    unsigned fill() const { return fill_; }
    void setFill(unsigned fill) { fill_ = fill; }
    std::uint32_t crc() const { return crc_; }
    std::uint32_t total() const { return total_; }

    void put(std::uint8_t byte) {
        base_[fill_++] = byte;
        if (fill_ == kEnd) flush();
    }
    // Copies a match with byte-by-byte semantics, flushing whenever the window fills.
    void copyMatch(unsigned length, unsigned distance);
    // Hands up to 32 KiB of pending bytes to the CRC and the output and slides the
    // window on by as many; bytes written past kEnd stay pending.
    void flush();
    // After the last block: flushes what is pending.
    void finish();
    // After a failure: the region keeps only what was flushed.
    void abandon();

  private:
    // Bytes of the region the window may write while it lies there.
    static constexpr unsigned kSpan = kSize + kSlack;

    bool inRegion() const { return base_ != buffer_.get(); }
    void enterRegion();
    void leaveRegion();
    // Puts the caller's bytes back from `offset` bytes into the span to its end,
    // and takes the window back to its own buffer.
    void restoreRegion(unsigned offset);

    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint8_t* base_ = nullptr;
    std::uint8_t* kept_ = nullptr;  // the caller's bytes under the pending span
    bool keptZeros_ = false;        // they were all zeros and are not in kept_
    MemoryStream* output_ = nullptr;
    DiagnosticSink* diagnostics_ = &StandardOutputSink();
    unsigned fill_ = kStart;
    std::uint32_t crc_ = 0xFFFFFFFFu;
    std::uint32_t total_ = 0;
};

// Copies n bytes inside the window from src to dst. When dst - src is at least n
// the run is one block; otherwise the bytes go one by one in ascending order, so
// that an overlapping match repeats them.
inline void CopyRun(std::uint8_t* window, unsigned dst, unsigned src, unsigned n) {
    std::uint8_t* d = window + dst;
    const std::uint8_t* s = window + src;
    const unsigned gap = dst - src;
    if (gap >= n) {
        std::memcpy(d, s, n);
        return;
    }
    if (gap == 1) {
        std::memset(d, *s, n);
        return;
    }
    unsigned i = 0;
    if (gap >= 8) {
        for (; i + 8 <= n; i += 8) std::memcpy(d + i, s + i, 8);
    }
    for (; i < n; ++i) d[i] = s[i];
}

}  // namespace imgdl::gzip
