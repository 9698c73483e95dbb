#include "session/DownloadWorker.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "session/DownloadProtocol.h"
#include "session/SocketIo.h"

namespace imgdl {

namespace {

using Clock = std::chrono::steady_clock;

std::string Hex(std::uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", word);
    return text;
}

std::string Seconds(std::chrono::milliseconds t) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(t.count()) / 1000);
    return text;
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

// The session's socket known to its cancel while the session runs.
class CancelAttachment {
  public:
    CancelAttachment(SessionCancel* cancel, int fd)
        : cancel_(cancel), attached_(!cancel || cancel->attach(fd)) {}
    ~CancelAttachment() {
        if (cancel_ && attached_) cancel_->detach();
    }
    CancelAttachment(const CancelAttachment&) = delete;
    CancelAttachment& operator=(const CancelAttachment&) = delete;
    explicit operator bool() const { return attached_; }

  private:
    SessionCancel* cancel_;
    bool attached_;
};

// One session on one socket; remembers how far it got for the cause of a failure.
class Session {
  public:
    explicit Session(const DownloadJob& job) : job_(job) {}

    int run() {
        UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!socket) return failErrno(ERR_NETWORK, SessionStep::Connect, "no socket");
        fd_ = socket.get();
        // Detached before the socket closes (declared after it).
        const CancelAttachment attached(job_.cancel.get(), fd_);
        if (!attached) return fail(ERR_CONNECT, SessionStep::Connect, "");
        if (const int code = connect()) return code;
        LimitSendTime(fd_, job_.timeouts.sendStall);
        if (const int code = handshake()) return code;
        return transfer();
    }

  private:
    int fail(int code, SessionStep step, std::string text, int systemError = 0) {
        SessionCause cause;
        cause.step = step;
        cause.systemError = systemError;
        // Whatever the step saw of a shut-down socket, the reason is the cancel.
        if (job_.cancel && job_.cancel->cancelled()) text = ": cancelled";
        cause.text = std::string(SessionStepName(step)) + text;
        cause.payloadBytesSent = static_cast<std::uint64_t>(sent_);
        ReportFailure(job_, cause);
        ReportError(job_, code);
        return code;
    }
    int failErrno(int code, SessionStep step, std::string what, int error = errno) {
        return fail(code, step, ": " + what + ": " + std::strerror(error), error);
    }
    // A word that did not come, or came wrong.
    int failWord(int code, SessionStep step, const std::optional<std::uint32_t>& word,
                 std::uint32_t expected, const ReceiveFailure& why,
                 std::chrono::milliseconds waited) {
        if (word) return fail(code, step, ": reply " + Hex(*word) + " is not " + Hex(expected));
        switch (why.kind) {
            case ReceiveFailure::Kind::Closed:
                return fail(code, step, ": connection closed by the recorder");
            case ReceiveFailure::Kind::Error:
                return failErrno(code, step, "receive", why.systemError);
            case ReceiveFailure::Kind::TimedOut:
                break;
        }
        return fail(code, step, ": no reply within " + Seconds(waited));
    }

    bool send(std::string_view step, std::uint32_t word) {
        if (job_.trace) job_.trace(step, true, word);
        return SendWord(fd_, word);
    }
    std::optional<std::uint32_t> receive(std::string_view step, std::chrono::milliseconds timeout,
                                         ReceiveFailure& why) {
        const auto word = ReceiveWord(fd_, timeout, &why);
        if (job_.trace) job_.trace(step, false, word);
        return word;
    }

    int connect() {
        const std::string where = " " + TargetText(job_.target);
        if (!job_.target) return fail(ERR_CONNECT, SessionStep::Connect, where + ": no address");
        if (job_.configureSocket) job_.configureSocket(fd_);
        const std::string& device = job_.target->interfaceName;
        if (!device.empty() && ::setsockopt(fd_, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(),
                                            static_cast<socklen_t>(device.size())) != 0)
            return failErrno(ERR_CONNECT, SessionStep::Connect, where.substr(1));
        const sockaddr_in peer = SocketAddressOf(*job_.target);
        if (const int error = ConnectWithin(fd_, peer, job_.timeouts.connect))
            return fail(ERR_CONNECT, SessionStep::Connect, where + ": " + std::strerror(error),
                        error);
        // A socket that is not writable right after connecting cannot carry the session;
        // reporting it lets the window close instead of waiting forever.
        // (An error state counts as writable here; the handshake then reports it.)
        if (WaitForSocket(fd_, POLLOUT, job_.timeouts.writableAfterConnect) != WaitResult::Ready)
            return fail(ERR_NETWORK, SessionStep::Connect, where + ": not writable");
        return 0;
    }

    int handshake() {
        const auto wait = job_.timeouts.handshakeReply;
        ReceiveFailure why;
        if (!send("command", job_.command))
            return failErrno(ERR_NOT_RECORDER, SessionStep::Handshake, "command word not sent");
        const auto reply = receive("reply", wait, why);
        const std::uint32_t expected = HandshakeReply(job_.command);
        if (reply != expected)
            return failWord(ERR_NOT_RECORDER, SessionStep::Handshake, reply, expected, why, wait);
        const auto length = static_cast<std::uint32_t>(job_.payload.length());
        if (!send("length", length))
            return failErrno(ERR_LENGTH, SessionStep::LengthEcho, "length word not sent");
        const auto echo = receive("echo", wait, why);
        if (echo != length)
            return failWord(ERR_LENGTH, SessionStep::LengthEcho, echo, length, why, wait);
        return 0;
    }

    int transfer() {
        if (std::string why; job_.beforePayload && !job_.beforePayload(why))
            return fail(ERR_SEND, SessionStep::BeforePayload, ": " + why);
        ReportStage(job_, STAGE_SENDING);
        if (const int code = sendPayload()) return code;
        const auto& t = job_.timeouts;
        ReceiveFailure why;
        if (job_.command == CMD_FIRMWARE_VERSION) {
            const auto answer = receive("answer", t.firstAck, why);
            if (answer == REPLY_ACK) return succeed();
            if (answer == REPLY_INCOMPATIBLE)
                return fail(ERR_INCOMPATIBLE, SessionStep::FirstAck,
                            ": the recorder refused version " + Hex(VersionWord()));
            return failWord(ERR_WRITE, SessionStep::FirstAck, answer, REPLY_ACK, why, t.firstAck);
        }
        const auto ack = receive("ack", t.firstAck, why);
        if (ack != REPLY_ACK)
            return failWord(ERR_WRITE, SessionStep::FirstAck, ack, REPLY_ACK, why, t.firstAck);
        ReportStage(job_, STAGE_WRITING);
        const auto written = receive("written", t.writtenAck, why);
        if (written != REPLY_ACK)
            return failWord(ERR_WRITE, SessionStep::WrittenAck, written, REPLY_ACK, why,
                            t.writtenAck);
        return succeed();
    }

    std::uint32_t VersionWord() const {
        const auto& b = job_.payload.bytes;
        if (b.size() < 4) return 0;
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
               std::uint32_t{b[3]} << 24;
    }

    std::string progressText() const {
        return " after " + std::to_string(sent_) + " of " + std::to_string(job_.payload.length()) +
               " bytes";
    }

    // The payload in pieces of the socket's send-buffer size, one progress report each.
    int sendPayload() {
        const std::int32_t length = job_.payload.length();
        std::int32_t piece = std::min(SendBufferPieceSize(fd_), std::max(length, 0));
        while (sent_ < length) {
            piece = NextPieceSize(piece, sent_, length);
            const auto bytes = PieceBytes(job_.payload, sent_, piece);
            if (WaitUntilWritable(fd_, job_.timeouts) != WaitResult::Ready)
                return fail(
                    ERR_NETWORK, SessionStep::Payload,
                    ": no progress for " + Seconds(job_.timeouts.sendStall) + progressText());
            const auto started = Clock::now();
            const long taken = SendOnce(fd_, bytes.data(), bytes.size());
            const int error = errno;
            if (taken > 0) sent_ += taken;
            if (taken != static_cast<long>(bytes.size())) {
                // A send cut short by the send-time limit is a stalled recorder, not a
                // refused piece.
                const bool timedOut =
                    (taken < 0 && (error == EAGAIN || error == EWOULDBLOCK)) ||
                    (taken >= 0 && Clock::now() - started >= job_.timeouts.sendStall);
                if (timedOut)
                    return fail(
                        ERR_NETWORK, SessionStep::Payload,
                        ": no progress for " + Seconds(job_.timeouts.sendStall) + progressText());
                if (taken < 0)
                    return fail(ERR_SEND, SessionStep::Payload,
                                ": " + std::string(std::strerror(error)) + progressText(), error);
                return fail(ERR_SEND, SessionStep::Payload, ": piece cut short" + progressText());
            }
            ReportProgress(job_, ProgressPercent(sent_, length));
        }
        return 0;
    }

    int succeed() {
        ReportStage(job_, STAGE_DONE);
        // The recorder gets a moment to finish its side before the connection goes.
        std::this_thread::sleep_for(job_.timeouts.closeDelay);
        return 0;
    }

    const DownloadJob& job_;
    int fd_ = -1;
    std::int64_t sent_ = 0;
};

}  // namespace

sockaddr_in SocketAddressOf(const RecorderAddress& address) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    std::memcpy(&peer.sin_addr.s_addr, address.ip.data(), 4);  // already network order
    peer.sin_port = htons(address.port);
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

std::span<const std::uint8_t> PieceBytes(const SessionPayload& payload, std::int64_t sent,
                                         std::int32_t piece) {
    const auto at = static_cast<std::size_t>(sent);
    auto size = static_cast<std::size_t>(piece);
    const std::size_t from = payload.patchOffset, to = from + payload.patch.size();
    if (payload.patch.empty() || at + size <= from || at >= to)
        return payload.bytes.subspan(at, size);
    if (at < from) return payload.bytes.subspan(at, from - at);
    return payload.patch.subspan(at - from, std::min(size, to - at));
}

std::uint32_t ProgressPercent(std::int64_t sent, std::int32_t length) {
    if (length <= 0) return 0;
    return static_cast<std::uint32_t>(sent * 100 / length);
}

int DownloadWorker(const DownloadJob& job) {
    return Session(job).run();
}

}  // namespace imgdl
