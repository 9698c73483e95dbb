#include "RecorderSimulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/ByteOrder.h"
#include "session/DownloadProtocol.h"
#include "session/SessionPayloads.h"

namespace imgdl::sim {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kForever = Clock::time_point::max();

std::string WordName(std::uint32_t word) {
    if (word == REPLY_ACK) return "ACK";
    if (word == REPLY_INCOMPATIBLE) return "INCOMPATIBLE";
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", word);
    return text;
}

UniqueFd Listen(std::uint32_t host, std::uint16_t port, int receiveBuffer,
                std::uint16_t& boundPort) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return {};
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (receiveBuffer > 0)
        ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(host);
    address.sin_port = htons(port);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return {};
    if (::listen(fd.get(), 4) != 0) return {};
    socklen_t len = sizeof address;
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &len);
    boundPort = ntohs(address.sin_port);
    return fd;
}

}  // namespace

// One connection, played step by step.
class RecorderSimulator::Session {
  public:
    Session(RecorderSimulator& sim, int fd, const RecorderBehaviour& b)
        : sim_(sim), fd_(fd), b_(b) {}

    RecordedSession play() {
        run();
        return std::move(rec_);
    }

  private:
    void run() {
        if (!readWord(rec_.command)) return;
        if (misbehaves(Step::HandshakeReply)) return;
        if (!sendWord(b_.handshakeReply.value_or(HandshakeReply(rec_.command)))) return;
        if (!readWord(rec_.length)) return;
        if (misbehaves(Step::LengthEcho)) return;
        if (!sendWord(b_.lengthEcho.value_or(rec_.length))) return;
        if (b_.closeBefore == Step::Payload || b_.stallAt == Step::Payload) {
            if (!readPayload(std::min<std::uint64_t>(b_.payloadBytesFirst, rec_.length))) return;
            misbehaves(Step::Payload);
            return;
        }
        if (!readPayload(rec_.length)) return;
        if (misbehaves(Step::FirstAck)) return;
        const bool version = rec_.command == CMD_FIRMWARE_VERSION;
        const std::uint32_t first =
            b_.firstAck.value_or(version && b_.incompatible ? REPLY_INCOMPATIBLE : REPLY_ACK);
        if (!answer(first)) return;
        if (!version) {
            if (!pause(b_.writeDelay)) return end("stopped");
            if (misbehaves(Step::SecondAck)) return;
            if (!answer(b_.secondAck.value_or(REPLY_ACK))) return;
        }
        rec_.ending = "done";
        drain();
    }

    // Closes or stalls instead of `step` when told to; true when it did.
    bool misbehaves(Step step) {
        if (b_.closeBefore == step) {
            end("closed by recorder");
            return true;
        }
        if (b_.stallAt != step) return false;
        rec_.ending = "stalled";
        // Stalling in the payload means not reading; elsewhere the recorder just stays
        // silent and notices the client closing.
        if (step == Step::Payload && sim_.waitFor(-1, 0, kForever) == Wait::Stopped) return true;
        drain();
        return true;
    }

    // False when stopped meanwhile.
    bool pause(std::chrono::milliseconds duration) {
        const auto until = Clock::now() + duration;
        for (;;) {
            const Wait w = sim_.waitFor(-1, 0, until);
            if (w == Wait::Stopped) return false;
            if (w == Wait::TimedOut) return true;
        }
    }

    void end(const char* why) {
        if (rec_.ending.empty()) rec_.ending = why;
    }

    // Reads until the client closes (or the limit), keeping what arrives.
    void drain() {
        const auto deadline = Clock::now() + b_.drainLimit;
        std::uint8_t buffer[65536];
        for (;;) {
            const Wait w = sim_.waitFor(fd_, POLLIN, deadline);
            if (w == Wait::Released) continue;
            if (w != Wait::Ready) return;
            const long n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                rec_.sawEof = n == 0;
                rec_.eofAt = Clock::now();
                return;
            }
            rec_.received.insert(rec_.received.end(), buffer, buffer + n);
        }
    }

    // Reads exactly `size` bytes; false (session over) on end of stream or stop.
    bool readExact(std::uint8_t* out, std::size_t size, bool keep) {
        std::size_t got = 0;
        while (got < size) {
            const Wait w = sim_.waitFor(fd_, POLLIN, kForever);
            if (w == Wait::Released) continue;
            if (w != Wait::Ready) {
                end("stopped");
                return false;
            }
            const long n = ::recv(fd_, out + got, size - got, MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                rec_.sawEof = n == 0;
                rec_.eofAt = Clock::now();
                end(n == 0 ? "client closed" : "connection lost");
                return false;
            }
            if (keep) rec_.received.insert(rec_.received.end(), out + got, out + got + n);
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool readWord(std::uint32_t& word) {
        std::uint8_t bytes[4];
        if (!readExact(bytes, 4, true)) return false;
        word = LoadBe32(bytes);
        return true;
    }

    bool readPayload(std::uint64_t size) {
        std::vector<std::uint8_t> buffer(std::min<std::uint64_t>(size, 1 << 20));
        const std::uint64_t most =
            b_.readPiece > 0 ? std::min(b_.readPiece, buffer.size()) : buffer.size();
        while (rec_.payloadBytes < size) {
            if (b_.readPause.count() > 0 && rec_.payloadBytes > 0 && !pause(b_.readPause)) {
                end("stopped");
                return false;
            }
            const auto piece = std::min<std::uint64_t>(size - rec_.payloadBytes, most);
            if (!readExact(buffer.data(), piece, b_.keepPayload)) return false;
            if (b_.keepPayload)
                rec_.payload.insert(rec_.payload.end(), buffer.data(), buffer.data() + piece);
            rec_.payloadBytes += piece;
        }
        return true;
    }

    bool sendBytes(const std::uint8_t* bytes, std::size_t size) {
        while (size > 0) {
            const long n = ::send(fd_, bytes, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                end("connection lost");
                return false;
            }
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool sendWord(std::uint32_t word) {
        std::uint8_t bytes[4];
        StoreBe32(bytes, word);
        if (!b_.splitWords) return sendBytes(bytes, 4);
        // Two segments with a pause, so that the client really receives them apart.
        if (!sendBytes(bytes, 2)) return false;
        if (!pause(std::chrono::milliseconds(50))) return false;
        return sendBytes(bytes + 2, 2);
    }

    bool answer(std::uint32_t word) {
        if (!sendWord(word)) return false;
        rec_.answers.push_back(WordName(word));
        rec_.lastAnswerAt = Clock::now();
        return true;
    }

    RecorderSimulator& sim_;
    int fd_;
    const RecorderBehaviour& b_;
    RecordedSession rec_;
};

RecorderSimulator::RecorderSimulator(RecorderBehaviour behaviour, std::uint16_t port,
                                     std::uint32_t host)
    : behaviour_(std::move(behaviour)) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    wakeRead_.reset(fds[0]);
    wakeWrite_.reset(fds[1]);
    listener_ = Listen(host, port, behaviour_.receiveBuffer, port_);
    if (listener_)
        thread_ = std::thread([this] {
            ::pthread_setname_np(::pthread_self(), "recorder-sim");
            run();
        });
}

RecorderSimulator::~RecorderSimulator() {
    stop();
}

void RecorderSimulator::stop() {
    stopping_ = true;
    if (wakeWrite_) {
        const char byte = 's';
        [[maybe_unused]] const auto n = ::write(wakeWrite_.get(), &byte, 1);
    }
    if (thread_.joinable()) thread_.join();
}

void RecorderSimulator::releaseStall() {
    released_ = true;
    const char byte = 'r';
    [[maybe_unused]] const auto n = ::write(wakeWrite_.get(), &byte, 1);
}

void RecorderSimulator::setBehaviour(const RecorderBehaviour& behaviour) {
    std::lock_guard lock(mutex_);
    behaviour_ = behaviour;
}

void RecorderSimulator::setSessionCallback(std::function<void(const RecordedSession&)> callback) {
    std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
}

bool RecorderSimulator::waitForSessions(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return sessionCount_ >= count; });
}

std::vector<RecordedSession> RecorderSimulator::sessions() const {
    std::lock_guard lock(mutex_);
    return sessions_;
}

// Waits for `events` on fd (none when fd < 0), a stall release or a stop (which wins).
RecorderSimulator::Wait RecorderSimulator::waitFor(int fd, short events,
                                                   Clock::time_point deadline) {
    for (;;) {
        if (stopping_) return Wait::Stopped;
        pollfd p[2] = {{wakeRead_.get(), POLLIN, 0}, {fd, events, 0}};
        int timeout = -1;
        if (deadline != kForever) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            timeout = static_cast<int>(std::max<long long>(left.count(), 0));
        }
        const int n = ::poll(p, fd >= 0 ? 2 : 1, timeout);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Wait::Stopped;
        if (n == 0) return Wait::TimedOut;
        if (p[0].revents) {
            if (stopping_) return Wait::Stopped;
            char bytes[16];
            while (::read(wakeRead_.get(), bytes, sizeof bytes) > 0) {
            }
            if (released_.exchange(false)) return Wait::Released;
            continue;
        }
        return Wait::Ready;
    }
}

void RecorderSimulator::run() {
    while (!stopping_) {
        const Wait w = waitFor(listener_.get(), POLLIN, kForever);
        if (stopping_) return;
        if (w != Wait::Ready) continue;
        UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection) continue;
        RecorderBehaviour b;
        {
            std::lock_guard lock(mutex_);
            b = behaviour_;
        }
        if (b.receiveBuffer > 0)
            ::setsockopt(connection.get(), SOL_SOCKET, SO_RCVBUF, &b.receiveBuffer,
                         sizeof b.receiveBuffer);
        released_ = false;
        finish(Session(*this, connection.get(), b).play());
    }
}

void RecorderSimulator::finish(RecordedSession session) {
    std::function<void(const RecordedSession&)> callback;
    {
        std::lock_guard lock(mutex_);
        callback = callback_;
    }
    if (callback) callback(session);
    std::lock_guard lock(mutex_);
    if (!callback) sessions_.push_back(std::move(session));
    ++sessionCount_;
    changed_.notify_all();
}

std::string DescribeSession(const RecordedSession& s) {
    std::string line(CommandName(s.command));
    if (line.empty()) line = WordName(s.command);
    line += " length=" + std::to_string(s.length);
    // Only a whole payload is decoded; the words are those the flows encode.
    if (s.payload.size() == s.length) {
        const SessionPayloadTexts texts = DescribeSessionPayload(s.command, s.payload);
        if (!texts.version.empty()) line += " version=" + texts.version;
        if (!texts.mac.empty()) line += " mac=" + texts.mac;
        if (!texts.serial.empty()) line += " serial=" + texts.serial;
    }
    line += " answers=";
    for (std::size_t i = 0; i < s.answers.size(); ++i) line += (i ? "," : "") + s.answers[i];
    if (s.answers.empty()) line += "none";
    line += " ending=" + s.ending;
    return line;
}

}  // namespace imgdl::sim
