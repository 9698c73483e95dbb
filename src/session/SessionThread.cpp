#include "session/SessionThread.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

#include "session/DownloadProtocol.h"
#include "session/DownloadWorker.h"

namespace imgdl {

struct SessionWorkerThread::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    int result = 0;
};

SessionWorkerThread::SessionWorkerThread(std::shared_ptr<const DownloadJob> job)
    : state_(std::make_shared<State>()), waitBound_(job->timeouts.workerJoin) {
    try {
        thread_ = std::thread([state = state_, job = std::move(job)] {
            const int result = DownloadWorker(*job);
            std::lock_guard lock(state->mutex);
            state->result = result;
            state->done = true;
            state->changed.notify_all();
        });
    } catch (const std::system_error&) {
        // No thread: started() tells the owner.
    }
}

SessionWorkerThread::~SessionWorkerThread() {
    finish();
}

bool SessionWorkerThread::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [this] { return state_->done; });
}

bool SessionWorkerThread::finish() {
    if (!thread_.joinable()) return true;  // never started, or already finished with
    const bool ended = waitFor(waitBound_);
    if (ended)
        thread_.join();
    else
        thread_.detach();
    return ended;
}

int SessionWorkerThread::result() const {
    std::lock_guard lock(state_->mutex);
    return state_->result;
}

namespace {

// Forwards to the caller's sink and notes the report that ends the session.
class EndWatchingSink : public DownloadSink {
  public:
    explicit EndWatchingSink(std::shared_ptr<DownloadSink> inner) : inner_(std::move(inner)) {}

    void stage(int stage) override {
        if (inner_) inner_->stage(stage);
        if (stage == STAGE_DONE) end(0);
    }
    void progress(std::uint32_t percent) override {
        if (inner_) inner_->progress(percent);
    }
    void error(int code) override {
        if (inner_) inner_->error(code);
        end(code);
    }
    void failed(const SessionCause& cause) override {
        if (inner_) inner_->failed(cause);
        std::lock_guard lock(mutex_);
        if (!ended_) cause_ = cause;
    }
    SessionCause cause() {
        std::lock_guard lock(mutex_);
        return cause_;
    }

    // Waits for the end of the session, or for the worker to have ended without one.
    std::optional<int> waitForEnd(SessionWorkerThread& worker) {
        std::unique_lock lock(mutex_);
        constexpr std::chrono::milliseconds kPoll{50};
        while (!changed_.wait_for(lock, kPoll, [this] { return ended_; })) {
            lock.unlock();
            const bool workerDone = worker.waitFor(std::chrono::milliseconds(0));
            lock.lock();
            if (workerDone && !ended_) return std::nullopt;
        }
        return error_;
    }

  private:
    void end(int error) {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        ended_ = true;
        error_ = error;
        changed_.notify_all();
    }

    std::shared_ptr<DownloadSink> inner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
    int error_ = 0;
    SessionCause cause_;
};

}  // namespace

SessionOutcome RunDownloadSession(DownloadJob job, SessionThreading threading) {
    auto watcher = std::make_shared<EndWatchingSink>(std::move(job.window));
    job.window = watcher;
    auto shared = std::make_shared<const DownloadJob>(std::move(job));
    if (threading == SessionThreading::CallersThread) {
        SessionOutcome outcome;
        outcome.error = DownloadWorker(*shared);
        if (outcome.error != 0) outcome.cause = watcher->cause();
        return outcome;
    }
    SessionWorkerThread worker(shared);
    if (!worker.started()) {
        SessionCause cause{SessionStep::Connect, 0, "connect: no worker thread", 0};
        ReportFailure(*shared, cause);
        ReportError(*shared, ERR_NETWORK);
        return {ERR_NETWORK, true, cause};
    }
    const auto reported = watcher->waitForEnd(worker);
    SessionOutcome outcome;
    outcome.workerEnded = worker.finish();
    outcome.error = reported ? *reported : worker.result();
    if (outcome.error != 0) outcome.cause = watcher->cause();
    return outcome;
}

}  // namespace imgdl
