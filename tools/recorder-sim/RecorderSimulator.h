#pragma once
// A recorder on the loopback interface: it answers the download protocol like the real
// unit, records every byte it receives, and can be told to misbehave at any step. The
// session tests and the technician's recorder-sim program are built on it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/UniqueFd.h"

namespace imgdl::sim {

// The steps of a session at which the recorder answers (or reads the payload).
enum class Step { None, HandshakeReply, LengthEcho, Payload, FirstAck, SecondAck };

struct RecorderBehaviour {
    std::optional<std::uint32_t> handshakeReply;  // sent instead of the right reply
    std::optional<std::uint32_t> lengthEcho;      // sent instead of the length
    std::optional<std::uint32_t> firstAck;        // sent instead of REPLY_ACK
    std::optional<std::uint32_t> secondAck;       // sent instead of REPLY_ACK
    bool incompatible = false;                // answer CMD_FIRMWARE_VERSION with REPLY_INCOMPATIBLE
    Step closeBefore = Step::None;            // close the connection instead of this step
    Step stallAt = Step::None;                // neither answer nor read from this step on, until
                                              // releaseStall() or stop()
    std::size_t payloadBytesFirst = 0;        // with Step::Payload: payload bytes read before
    int receiveBuffer = 0;                    // SO_RCVBUF of the connections; 0: system default
    std::chrono::milliseconds writeDelay{0};  // between the first and the second answer
    bool splitWords = false;                  // every answer word in two segments
    bool keepPayload = true;                  // false: count the payload, keep nothing
    std::chrono::milliseconds drainLimit{10'000};  // waiting for the client to close
    std::size_t readPiece = 0;                     // with readPause: payload bytes per read
    std::chrono::milliseconds readPause{0};        // between payload reads (a slow reader)
};

struct RecordedSession {
    std::uint32_t command = 0;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> received;  // every byte received, in order (payload kept)
    std::vector<std::uint8_t> payload;   // the payload alone (when kept)
    std::uint64_t payloadBytes = 0;      // payload bytes received
    std::vector<std::string> answers;    // the words sent after the handshake, named
    std::string ending;                  // "done", "closed by recorder", "client closed" ...
    bool sawEof = false;                 // the client closed its end
    std::chrono::steady_clock::time_point lastAnswerAt{};
    std::chrono::steady_clock::time_point eofAt{};
};

class RecorderSimulator {
  public:
    // Listens on 127.0.0.1:port (0: an ephemeral port, see port()), or on `host` (an IPv4
    // address in host order) where the caller has made sure no one outside can reach it.
    explicit RecorderSimulator(RecorderBehaviour behaviour = {}, std::uint16_t port = 0,
                               std::uint32_t host = 0x7F000001);
    ~RecorderSimulator();
    RecorderSimulator(const RecorderSimulator&) = delete;
    RecorderSimulator& operator=(const RecorderSimulator&) = delete;

    bool listening() const { return listener_.valid(); }
    std::uint16_t port() const { return port_; }

    // Behaviour for the sessions that start from now on.
    void setBehaviour(const RecorderBehaviour& behaviour);
    // Called on the simulator's thread after each session (printing, saving). Sessions
    // handed to a callback are not kept, so a long run does not pile up payloads.
    void setSessionCallback(std::function<void(const RecordedSession&)> callback);
    // Ends the current stall; the recorder then reads until the client closes.
    void releaseStall();
    // Waits until `count` sessions have ended; false on timeout.
    bool waitForSessions(std::size_t count, std::chrono::milliseconds timeout);
    std::vector<RecordedSession> sessions() const;
    // Ends the current session and the listening; idempotent.
    void stop();

  private:
    enum class Wait { Ready, TimedOut, Released, Stopped };
    Wait waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline);
    void run();
    void serve(int fd, const RecorderBehaviour& b);
    void finish(RecordedSession session);

    class Session;
    UniqueFd listener_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> released_{false};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    RecorderBehaviour behaviour_;
    std::function<void(const RecordedSession&)> callback_;
    std::vector<RecordedSession> sessions_;
    std::size_t sessionCount_ = 0;
    std::thread thread_;
};

// One line about a session for the technician: command, length, what the payload says
// (version, MAC, serial number) and the answers, e.g.
// "CMD_FIRMWARE_VERSION length=4 version=1.2.3 answers=ACK ending=done".
std::string DescribeSession(const RecordedSession& session);

}  // namespace imgdl::sim
