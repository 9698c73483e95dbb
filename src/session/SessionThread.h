#pragma once
// Runs a download session's worker on its own thread, and the whole session for callers
// without an event loop (command line, flow tests).
#include <chrono>
#include <memory>
#include <thread>

#include "session/DownloadJob.h"

namespace imgdl {

// One worker thread running DownloadWorker over a job it co-owns. The destructor waits
// for the worker at most the job's timeouts.workerJoin; a worker still running then (a recorder
// that keeps it in a bounded wait) is detached, and since it holds the job, the payload owner and
// the sink, it never touches released memory.
class SessionWorkerThread {
  public:
    // Starts the worker. When no thread can be started, started() is false.
    explicit SessionWorkerThread(std::shared_ptr<const DownloadJob> job);
    ~SessionWorkerThread();
    SessionWorkerThread(const SessionWorkerThread&) = delete;
    SessionWorkerThread& operator=(const SessionWorkerThread&) = delete;

    bool started() const { return thread_.joinable(); }
    // True when the worker has ended within `timeout` (or had already ended).
    bool waitFor(std::chrono::milliseconds timeout);
    // Joins if the worker ends within the join bound; returns whether it did (true
    // when there is no thread to wait for). Afterwards the object owns no thread.
    bool finish();
    // The worker's return value (0 or the reported code) once it has ended.
    int result() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
    std::chrono::milliseconds waitBound_;
};

// The outcome of a whole session.
struct SessionOutcome {
    int error = 0;            // 0: ended with STAGE_DONE; otherwise the reported ERR_* code
    bool workerEnded = true;  // false: still running after the join bound (string 105)
    SessionCause cause;       // why it failed; step None after a session that ended well
};

// Where a session's worker runs. Its own thread lets a caller leave a worker behind after
// the join bound; the caller's thread saves a thread start and two hand-offs per session,
// for callers that can cut every wait short from outside (the job's cancel).
enum class SessionThreading { OwnThread, CallersThread };

// Runs one session to its end on a worker thread and returns its outcome. The job's
// window (may be empty) receives every report, on the worker thread, as it is made.
// Returns when the session has reported its end and the worker has ended or the join
// bound (the job's timeouts.workerJoin) has passed. A worker that cannot be started gives
// ERR_NETWORK, reported to the window like any other error. With CallersThread the worker
// runs on the calling thread instead, and returns when the session has ended.
SessionOutcome RunDownloadSession(DownloadJob job,
                                  SessionThreading threading = SessionThreading::OwnThread);

}  // namespace imgdl
