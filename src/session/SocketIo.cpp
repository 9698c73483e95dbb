#include "session/SocketIo.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "common/ByteOrder.h"

namespace imgdl {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, 1 << 30)) : 0;
}

bool SetBlocking(int fd, bool blocking) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, wanted) == 0;
}

}  // namespace

WaitResult WaitForSocket(int fd, short events, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, RemainingMs(deadline));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || (p.revents & POLLNVAL)) return WaitResult::Failed;
        if (n == 0) return WaitResult::TimedOut;
        return WaitResult::Ready;
    }
}

int ConnectWithin(int fd, const sockaddr_in& peer, std::chrono::milliseconds timeout) {
    if (!SetBlocking(fd, false)) return errno;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        // An interrupted connect goes on in the background, like one in progress.
        if (errno != EINPROGRESS && errno != EINTR) return errno;
        const WaitResult ready = WaitForSocket(fd, POLLOUT, timeout);
        if (ready == WaitResult::TimedOut) return ETIMEDOUT;
        if (ready == WaitResult::Failed) return errno ? errno : EIO;
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return errno;
        if (error != 0) return error;
    }
    return SetBlocking(fd, true) ? 0 : errno;
}

long SendOnce(int fd, const std::uint8_t* data, std::size_t size) {
    for (;;) {
        const long n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool SendWord(int fd, std::uint32_t word) {
    std::uint8_t bytes[4];
    StoreBe32(bytes, word);
    return SendOnce(fd, bytes, sizeof bytes) == 4;
}

std::optional<std::uint32_t> ReceiveWord(int fd, std::chrono::milliseconds timeout,
                                         ReceiveFailure* failure) {
    const auto deadline = Clock::now() + timeout;
    std::uint8_t bytes[4];
    std::size_t got = 0;
    const auto fail = [&](ReceiveFailure::Kind kind, int error) -> std::optional<std::uint32_t> {
        if (failure) *failure = {kind, error, got};
        return std::nullopt;
    };
    while (got < sizeof bytes) {
        const auto left = std::chrono::milliseconds(RemainingMs(deadline));
        const WaitResult ready = WaitForSocket(fd, POLLIN, left);
        if (ready == WaitResult::TimedOut) return fail(ReceiveFailure::Kind::TimedOut, 0);
        if (ready == WaitResult::Failed) return fail(ReceiveFailure::Kind::Error, errno);
        const long n = ::recv(fd, bytes + got, sizeof bytes - got, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n == 0) return fail(ReceiveFailure::Kind::Closed, 0);
        if (n < 0) return fail(ReceiveFailure::Kind::Error, errno);
        got += static_cast<std::size_t>(n);
    }
    return LoadBe32(bytes);
}

}  // namespace imgdl
