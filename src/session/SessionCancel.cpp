#include "session/SessionCancel.h"

#include <sys/socket.h>

namespace imgdl {

void SessionCancel::cancel() {
    {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
        // Held under the lock: the worker cannot close the descriptor (and the number be
        // reused) until it has detached, which waits for this.
        if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
    }
    changed_.notify_all();
}

bool SessionCancel::cancelled() const {
    const std::lock_guard lock(mutex_);
    return cancelled_;
}

bool SessionCancel::sleepFor(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, time, [this] { return cancelled_; });
}

bool SessionCancel::attach(int socketFd) {
    const std::lock_guard lock(mutex_);
    if (cancelled_) return false;
    socket_ = socketFd;
    return true;
}

void SessionCancel::detach() {
    const std::lock_guard lock(mutex_);
    socket_ = -1;
}

}  // namespace imgdl
