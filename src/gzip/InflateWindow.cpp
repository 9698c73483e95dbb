#include "gzip/InflateWindow.h"

#include <algorithm>
#include <new>

#include "gzip/Crc32.h"

namespace imgdl::gzip {

bool InflateWindow::allocate() {
    try {
        buffer_ = std::make_unique<std::uint8_t[]>(kSize);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void InflateWindow::copyMatch(unsigned length, unsigned distance) {
    unsigned src = (fill_ - distance) & kMask;
    while (length != 0) {
        const unsigned run = std::min(length, kSize - std::max(src, fill_));
        CopyRun(buffer_.get(), fill_, src, run);
        fill_ += run;
        src = (src + run) & kMask;
        length -= run;
        if (fill_ == kSize) flush();
    }
}

void InflateWindow::flush() {
    if (fill_ == 0) return;
    crc_ = UpdateCrc32(crc_, buffer_.get(), fill_);
    if (writeBytes(*output_, buffer_.get(), fill_) < fill_) diagnostics_->write(kTextCouldntWrite);
    total_ += fill_;
    fill_ = 0;
}

}  // namespace imgdl::gzip
