#include "gzip/InflateWindow.h"

#include <algorithm>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "gzip/Crc32.h"

namespace imgdl::gzip {

namespace {

bool AllZerosSse2(const std::uint8_t* bytes, std::size_t count) {
    std::size_t i = 0;
#ifdef __SSE2__
    // 64 bytes a step; a region that holds data shows it at once, a zeroed one is
    // read through with one test per 1 KiB.
    const __m128i zero = _mm_setzero_si128();
    while (i + 1024 <= count) {
        __m128i any = zero;
        for (const std::size_t end = i + 1024; i < end; i += 64) {
            const auto* p = reinterpret_cast<const __m128i*>(bytes + i);
            any = _mm_or_si128(
                any, _mm_or_si128(_mm_or_si128(_mm_loadu_si128(p), _mm_loadu_si128(p + 1)),
                                  _mm_or_si128(_mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3))));
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, zero)) != 0xFFFF) return false;
    }
#endif
    std::uint8_t rest = 0;
    for (; i < count; ++i) rest |= bytes[i];
    return rest == 0;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// 256 bytes a step in two chains, one test per 1 KiB.
__attribute__((target("avx2"))) bool AllZerosAvx2(const std::uint8_t* bytes, std::size_t count) {
    std::size_t i = 0;
    while (i + 1024 <= count) {
        __m256i a = _mm256_setzero_si256();
        __m256i b = a;
        for (const std::size_t end = i + 1024; i < end; i += 256) {
            const auto* p = reinterpret_cast<const __m256i*>(bytes + i);
            a = _mm256_or_si256(a,
                                _mm256_or_si256(_mm256_loadu_si256(p), _mm256_loadu_si256(p + 1)));
            b = _mm256_or_si256(
                b, _mm256_or_si256(_mm256_loadu_si256(p + 2), _mm256_loadu_si256(p + 3)));
            a = _mm256_or_si256(
                a, _mm256_or_si256(_mm256_loadu_si256(p + 4), _mm256_loadu_si256(p + 5)));
            b = _mm256_or_si256(
                b, _mm256_or_si256(_mm256_loadu_si256(p + 6), _mm256_loadu_si256(p + 7)));
        }
        const __m256i any = _mm256_or_si256(a, b);
        if (!_mm256_testz_si256(any, any)) return false;
    }
    return AllZerosSse2(bytes + i, count - i);
}

bool AllZeros(const std::uint8_t* bytes, std::size_t count) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 ? AllZerosAvx2(bytes, count) : AllZerosSse2(bytes, count);
}
#else
bool AllZeros(const std::uint8_t* bytes, std::size_t count) {
    return AllZerosSse2(bytes, count);
}
#endif

// Asks for the span after the next one while the next one is decoded, so that
// reading it at the next flush does not wait for memory.
void PrefetchNextSpan(const std::uint8_t* from, const std::uint8_t* end) {
    if (end - from < static_cast<std::ptrdiff_t>(InflateWindow::kSize)) return;
    for (unsigned i = 0; i < InflateWindow::kSize; i += 64) __builtin_prefetch(from + i, 1);
}

}  // namespace

bool InflateWindow::allocate() {
    try {
        buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kEnd + kSlack + kSpan);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Only the history before the first byte is ever read unwritten.
    std::memset(buffer_.get(), 0, kStart);
    base_ = buffer_.get();
    kept_ = buffer_.get() + kEnd + kSlack;
    return true;
}

void InflateWindow::copyMatch(unsigned length, unsigned distance) {
    while (length != 0) {
        const unsigned run = std::min(length, kEnd - fill_);
        CopyRun(base_, fill_, fill_ - distance, run);
        fill_ += run;
        length -= run;
        if (fill_ == kEnd) flush();
    }
}

void InflateWindow::flush() {
    const unsigned pending = std::min(fill_, kEnd) - kStart;
    if (pending == 0) return;
    std::uint8_t* const first = base_ + kStart;
    crc_ = UpdateCrc32(crc_, first, pending);
    total_ += pending;
    if (inRegion()) {
        // The bytes are in place already.
        output_->position += pending;  // always a whole 32 KiB here
        base_ += kSize;
        fill_ -= kSize;
        const bool room = static_cast<std::size_t>(output_->end - output_->position) >= kSpan;
        if (room) {
            // The span moves on by 32 KiB; the caller's bytes under its first
            // kSlack bytes are kept already.
            const bool zeros = keptZeros_;
            if (!zeros) std::memmove(kept_, kept_ + kSize, kSlack);
            const std::uint8_t* fresh = output_->position + kSlack;
            PrefetchNextSpan(fresh + kSize, output_->end);
            keptZeros_ = zeros && AllZeros(fresh, kSize);
            if (!keptZeros_) {
                if (zeros) std::memset(kept_, 0, kSlack);
                std::memcpy(kept_ + kSlack, fresh, kSize);
            }
        } else {
            leaveRegion();
        }
        return;
    }
    if (writeBytes(*output_, first, pending) < pending) diagnostics_->write(kTextCouldntWrite);
    std::memmove(buffer_.get(), buffer_.get() + pending, fill_ - pending);
    fill_ -= pending;
    if (pending == kSize && output_->position - output_->start >= kSize &&
        static_cast<std::size_t>(output_->end - output_->position) >= kSpan) {
        enterRegion();
    }
}

// The history is the last 32 KiB flushed, which the region holds right in front
// of its position.
void InflateWindow::enterRegion() {
    std::uint8_t* const at = output_->position;
    keptZeros_ = AllZeros(at, kSpan);
    if (!keptZeros_) std::memcpy(kept_, at, kSpan);
    const unsigned overflow = fill_ - kStart;
    std::memcpy(at, buffer_.get() + kStart, overflow);
    base_ = at - kStart;
}

// The old span's last kSlack bytes, pending bytes and whatever a word-wise copy
// wrote past them, lie behind the region's position now; the kept bytes behind
// the span's first 32 KiB go back there.
void InflateWindow::leaveRegion() {
    std::memcpy(buffer_.get(), base_, fill_);
    std::uint8_t* const at = output_->position;
    if (keptZeros_) {
        std::memset(at, 0, kSlack);
    } else {
        std::memcpy(at, kept_ + kSize, kSlack);
    }
    base_ = buffer_.get();
}

void InflateWindow::restoreRegion(unsigned offset) {
    std::uint8_t* const spanStart = base_ + kStart;
    if (keptZeros_) {
        std::memset(spanStart + offset, 0, kSpan - offset);
    } else {
        std::memcpy(spanStart + offset, kept_ + offset, kSpan - offset);
    }
    base_ = buffer_.get();
    fill_ = kStart;
}

void InflateWindow::finish() {
    if (!inRegion()) {
        flush();
        return;
    }
    const unsigned pending = fill_ - kStart;
    crc_ = UpdateCrc32(crc_, base_ + kStart, pending);
    total_ += pending;
    output_->position += pending;
    restoreRegion(pending);  // what lies behind the data
}

void InflateWindow::abandon() {
    if (inRegion()) restoreRegion(0);
}

}  // namespace imgdl::gzip
