#include "gzip/InflateWindow.h"

#include <algorithm>
#include <new>

#include "gzip/Crc32.h"

namespace imgdl::gzip {

bool InflateWindow::allocate() {
    try {
        buffer_ = std::make_unique<std::uint8_t[]>(kEnd + kSlack);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void InflateWindow::copyMatch(unsigned length, unsigned distance) {
    while (length != 0) {
        const unsigned run = std::min(length, kEnd - fill_);
        CopyRun(buffer_.get(), fill_, fill_ - distance, run);
        fill_ += run;
        length -= run;
        if (fill_ == kEnd) flush();
    }
}

void InflateWindow::flush() {
    const unsigned pending = std::min(fill_, kEnd) - kStart;
    if (pending == 0) return;
    std::uint8_t* const first = buffer_.get() + kStart;
    crc_ = UpdateCrc32(crc_, first, pending);
    if (writeBytes(*output_, first, pending) < pending) diagnostics_->write(kTextCouldntWrite);
    total_ += pending;
    std::memmove(buffer_.get(), buffer_.get() + pending, fill_ - pending);
    fill_ -= pending;
}

}  // namespace imgdl::gzip
