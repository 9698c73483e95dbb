#include "session/DownloadWorker.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <thread>

#include "session/DownloadProtocol.h"
#include "session/SocketIo.h"

namespace imgdl {

namespace {

using Clock = std::chrono::steady_clock;

int Fail(const DownloadJob& job, int code) {
    ReportError(job, code);
    return code;
}

int Succeed(const DownloadJob& job) {
    ReportStage(job, STAGE_DONE);
    // The recorder gets a moment to finish its side before the connection goes.
    std::this_thread::sleep_for(job.timeouts.closeDelay);
    return 0;
}

// A blocking send that makes no progress for this long gives up instead of hanging.
void LimitSendTime(int fd, std::chrono::milliseconds limit) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(limit).count();
    timeval tv{static_cast<time_t>(us / 1'000'000), static_cast<suseconds_t>(us % 1'000'000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// The writability wait before a piece: repeated 1-second waits, bounded in total.
WaitResult WaitUntilWritable(int fd, const SessionTimeouts& t) {
    const auto giveUp = Clock::now() + t.sendStall;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - Clock::now());
        if (left.count() <= 0) return WaitResult::TimedOut;
        const WaitResult r = WaitForSocket(fd, POLLOUT, std::min(t.writableWait, left));
        if (r != WaitResult::TimedOut) return r;
    }
}

bool SendTraced(int fd, const DownloadJob& job, std::string_view step, std::uint32_t word) {
    if (job.trace) job.trace(step, true, word);
    return SendWord(fd, word);
}

std::optional<std::uint32_t> ReceiveTraced(int fd, const DownloadJob& job, std::string_view step,
                                           std::chrono::milliseconds timeout) {
    const auto word = ReceiveWord(fd, timeout);
    if (job.trace) job.trace(step, false, word);
    return word;
}

bool ReceiveAck(int fd, const DownloadJob& job, std::string_view step,
                std::chrono::milliseconds timeout) {
    return ReceiveTraced(fd, job, step, timeout) == REPLY_ACK;
}

}  // namespace

std::uint32_t ConvertTargetAddress(const char (&text)[16]) {
    char terminated[sizeof text + 1] = {};
    std::copy(std::begin(text), std::end(text), terminated);
    return ::inet_addr(terminated);
}

std::optional<sockaddr_in> TargetOf(const DownloadJob& job) {
    const std::uint32_t address = ConvertTargetAddress(job.targetAddress);
    if (address == INADDR_NONE) return std::nullopt;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = address;
    peer.sin_port = htons(job.targetPort);
    return peer;
}

std::int32_t SendBufferPieceSize(int socketFd) {
    int size = 0;
    socklen_t len = sizeof size;
    if (::getsockopt(socketFd, SOL_SOCKET, SO_SNDBUF, &size, &len) != 0 || size <= 0)
        return kFallbackPieceSize;
    return size;
}

std::int32_t NextPieceSize(std::int32_t pieceSize, std::int64_t sent, std::int32_t length) {
    const std::int64_t left = length - sent;
    return left < pieceSize ? static_cast<std::int32_t>(left) : pieceSize;
}

std::uint32_t ProgressPercent(std::int64_t sent, std::int32_t length) {
    if (length <= 0) return 0;
    return static_cast<std::uint32_t>(sent * 100 / length);
}

int SendInChunks(const std::uint8_t* data, std::int32_t length, int socketFd,
                 const DownloadJob& job) {
    std::int32_t piece = std::min(SendBufferPieceSize(socketFd), std::max(length, 0));
    std::int64_t sent = 0;
    while (sent < length) {
        piece = NextPieceSize(piece, sent, length);
        const WaitResult ready = WaitUntilWritable(socketFd, job.timeouts);
        if (ready != WaitResult::Ready) return Fail(job, ERR_NETWORK);
        const auto started = Clock::now();
        const long taken = SendOnce(socketFd, data + sent, static_cast<std::size_t>(piece));
        if (taken != piece) {
            // A send cut short by the send-time limit is a stalled recorder, not a
            // refused piece.
            const bool timedOut = (taken < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) ||
                                  (taken >= 0 && Clock::now() - started >= job.timeouts.sendStall);
            return Fail(job, timedOut ? ERR_NETWORK : ERR_SEND);
        }
        sent += piece;
        ReportProgress(job, ProgressPercent(sent, length));
    }
    return 0;
}

int Handshake(int socketFd, const DownloadJob& job) {
    const auto wait = job.timeouts.handshakeReply;
    if (!SendTraced(socketFd, job, "command", job.command)) return Fail(job, ERR_NOT_RECORDER);
    const auto reply = ReceiveTraced(socketFd, job, "reply", wait);
    if (!reply || *reply != HandshakeReply(job.command)) return Fail(job, ERR_NOT_RECORDER);
    const auto length = static_cast<std::uint32_t>(job.payload.length());
    if (!SendTraced(socketFd, job, "length", length)) return Fail(job, ERR_LENGTH);
    const auto echo = ReceiveTraced(socketFd, job, "echo", wait);
    if (!echo || *echo != length) return Fail(job, ERR_LENGTH);
    return 0;
}

int TransferData(int socketFd, const DownloadJob& job) {
    ReportStage(job, STAGE_SENDING);
    if (const int code =
            SendInChunks(job.payload.bytes.data(), job.payload.length(), socketFd, job))
        return code;
    const auto& t = job.timeouts;
    if (job.command == CMD_FIRMWARE_VERSION) {
        const auto answer = ReceiveTraced(socketFd, job, "answer", t.firstAck);
        if (answer == REPLY_ACK) return Succeed(job);
        return Fail(job, answer == REPLY_INCOMPATIBLE ? ERR_INCOMPATIBLE : ERR_WRITE);
    }
    if (!ReceiveAck(socketFd, job, "ack", t.firstAck)) return Fail(job, ERR_WRITE);
    ReportStage(job, STAGE_WRITING);
    if (!ReceiveAck(socketFd, job, "written", t.writtenAck)) return Fail(job, ERR_WRITE);
    return Succeed(job);
}

int DownloadWorker(const DownloadJob& job) {
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket) return Fail(job, ERR_NETWORK);
    if (job.configureSocket) job.configureSocket(socket.get());
    const auto peer = TargetOf(job);
    if (!peer || !ConnectWithin(socket.get(), *peer, job.timeouts.connect))
        return Fail(job, ERR_CONNECT);
    // A socket that is not writable right after connecting cannot carry the session;
    // reporting it lets the window close instead of waiting forever.
    // (An error state counts as writable here; the handshake then reports it.)
    const WaitResult state =
        WaitForSocket(socket.get(), POLLOUT, job.timeouts.writableAfterConnect);
    if (state != WaitResult::Ready) return Fail(job, ERR_NETWORK);
    LimitSendTime(socket.get(), job.timeouts.sendStall);
    if (const int code = Handshake(socket.get(), job)) return code;
    return TransferData(socket.get(), job);
}

}  // namespace imgdl
