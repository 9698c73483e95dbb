#pragma once
// The parameters of one download session as its worker reads them, and the sink the
// worker reports to. A job is filled once before the worker starts and never changed
// afterwards; the worker holds it (and through it the payload and the sink) by shared
// ownership, so a worker that outlives its window never reads released memory.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/RecorderAddress.h"
#include "session/SessionCancel.h"
#include "session/SessionCause.h"

namespace imgdl {

// Receiver of what a worker reports. Called on the worker thread; must not wait for
// the receiver to act on the report.
class DownloadSink {
  public:
    virtual ~DownloadSink() = default;
    // STAGE_SENDING, STAGE_WRITING, or STAGE_DONE (the session has ended well).
    virtual void stage(int stage) = 0;
    // The share of the payload sent so far, 0..100, after each piece.
    virtual void progress(std::uint32_t percent) = 0;
    // The session has ended with this ERR_* code.
    virtual void error(int code) = 0;
    // Why it ended so; reported just before error().
    virtual void failed(const SessionCause&) {}
};

// Upper bounds of every wait of a session, so that no peer can hold the worker (and the
// window that waits for it) forever. Tests shorten them.
struct SessionTimeouts {
    std::chrono::milliseconds connect{10'000};              // non-blocking connect
    std::chrono::milliseconds writableAfterConnect{1'000};  // the state check after connecting
    std::chrono::milliseconds writableWait{1'000};          // one wait before each piece
    std::chrono::milliseconds sendStall{30'000};            // no piece can go out for this long
    std::chrono::milliseconds handshakeReply{30'000};       // command reply and length echo
    std::chrono::milliseconds firstAck{60'000};             // received / firmware-version answer
    std::chrono::milliseconds writtenAck{15 * 60'000};      // the recorder writing the image
    std::chrono::milliseconds closeDelay{500};              // connection kept after STAGE_DONE
    // Not the worker's own: how long the owner of the session (the window, the runner)
    // waits for the worker once the session has ended, before leaving it running.
    std::chrono::milliseconds workerJoin{5000};
};

// Piece size used when the socket's send-buffer size cannot be read or reads as 0.
inline constexpr std::int32_t kFallbackPieceSize = 64 * 1024;

// The bytes one session sends, and what keeps them alive while a worker may read them.
struct SessionPayload {
    std::span<const std::uint8_t> bytes;
    // May be empty when the caller keeps the bytes valid itself.
    std::shared_ptr<const void> owner;
    // A few bytes sent in place of the payload's own at `patchOffset`, so that many units
    // can share one image and each still receive its own identity. Empty: none.
    std::span<const std::uint8_t> patch{};
    std::size_t patchOffset = 0;
    // The length word of the protocol: callers never hand over more than INT32_MAX bytes.
    std::int32_t length() const { return static_cast<std::int32_t>(bytes.size()); }
};

// The last word of the session's owner before the payload's first byte, on the worker
// thread; it may block. False stops the session there, nothing of the payload sent, and
// `why` says what refused.
using BeforePayloadGate = std::function<bool(std::string& why)>;

struct DownloadJob {
    std::uint32_t command = 0;
    // Nothing when the front end had no whole address (the dialog's blank parts): the
    // session then fails to connect, as it always has.
    std::optional<RecorderAddress> target;
    SessionPayload payload;
    BeforePayloadGate beforePayload;
    // Where the worker reports; may be empty (reports are then dropped).
    std::shared_ptr<DownloadSink> window;
    SessionTimeouts timeouts;
    // Lets another thread end the session; may be empty.
    std::shared_ptr<SessionCancel> cancel;
    // Called with the new socket before it connects (tests set socket options here).
    std::function<void(int socketFd)> configureSocket;
    // Called on the worker thread with every protocol word sent (sent = true) or
    // received, and the step it belongs to; a receive that got no whole word passes
    // nothing. Empty: no tracing.
    std::function<void(std::string_view step, bool sent, std::optional<std::uint32_t> word)> trace;
};

// One session as a flow asks for it.
struct SessionRequest {
    std::uint32_t command = 0;
    std::optional<RecorderAddress> target;
    SessionPayload payload;
};

// The worker's job for a session request (no sink yet, default time limits).
DownloadJob MakeDownloadJob(const SessionRequest& request);

// Reports to the job's window, if it has one.
void ReportStage(const DownloadJob& job, int stage);
void ReportProgress(const DownloadJob& job, std::uint32_t percent);
void ReportError(const DownloadJob& job, int code);
void ReportFailure(const DownloadJob& job, const SessionCause& cause);
// The target as "a.b.c.d:port", or "(no address)".
std::string TargetText(const std::optional<RecorderAddress>& target);

}  // namespace imgdl
