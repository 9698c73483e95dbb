#pragma once
// The 32 KiB sliding window, which also stages decoded bytes: whenever it fills,
// and once at the end, its pending bytes go to the CRC and to the output.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "gzip/Diagnostics.h"
#include "gzip/GzipInflater.h"

namespace imgdl::gzip {

class InflateWindow {
  public:
    static constexpr unsigned kSize = 32768;
    static constexpr unsigned kMask = kSize - 1;

    // Takes the zero-filled buffer; false when the memory cannot be had.
    bool allocate();

    void setOutput(MemoryStream& output) { output_ = &output; }
    void setDiagnostics(DiagnosticSink& diagnostics) { diagnostics_ = &diagnostics; }
    std::uint8_t* data() { return buffer_.get(); }
    unsigned fill() const { return fill_; }
    void setFill(unsigned fill) { fill_ = fill; }
    std::uint32_t crc() const { return crc_; }
    std::uint32_t total() const { return total_; }

    void put(std::uint8_t byte) {
        buffer_[fill_++] = byte;
        if (fill_ == kSize) flush();
    }
    // Copies a match byte by byte semantics, flushing whenever the window fills.
    void copyMatch(unsigned length, unsigned distance);
    // Hands the pending bytes to the CRC and the output, then starts again at 0.
    void flush();

  private:
    std::unique_ptr<std::uint8_t[]> buffer_;
    MemoryStream* output_ = nullptr;
    DiagnosticSink* diagnostics_ = &StandardOutputSink();
    unsigned fill_ = 0;
    std::uint32_t crc_ = 0xFFFFFFFFu;
    std::uint32_t total_ = 0;
};

// Copies n bytes inside the window from src to dst, neither run passing the
// window's end. When dst - src (unsigned) is at least n the run is one block
// (front to back, so a source ahead of the destination is fine); otherwise the
// bytes go one by one in ascending order, so an overlapping match repeats them.
inline void CopyRun(std::uint8_t* window, unsigned dst, unsigned src, unsigned n) {
    std::uint8_t* d = window + dst;
    const std::uint8_t* s = window + src;
    const unsigned gap = dst - src;
    if (gap >= n) {
        if (n >= 8 && n <= 16) {
            std::uint64_t head, tail;
            std::memcpy(&head, s, 8);
            std::memcpy(&tail, s + n - 8, 8);
            std::memcpy(d, &head, 8);
            std::memcpy(d + n - 8, &tail, 8);
        } else if (n >= 4 && n < 8) {
            std::uint32_t head, tail;
            std::memcpy(&head, s, 4);
            std::memcpy(&tail, s + n - 4, 4);
            std::memcpy(d, &head, 4);
            std::memcpy(d + n - 4, &tail, 4);
        } else {
            std::memmove(d, s, n);
        }
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
