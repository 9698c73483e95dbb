#pragma once
// Ends a running session from another thread: the worker's socket is shut down, so that
// whatever the worker waits for (a connect, a reply, room to send) returns at once and
// the session fails at the step it was in. A session that starts after the cancel fails
// before it connects. One per unit of work; never reset.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace imgdl {

class SessionCancel {
  public:
    // Any thread, any number of times.
    void cancel();
    bool cancelled() const;
    // Sleeps `time` unless cancelled first; false then.
    bool sleepFor(std::chrono::milliseconds time);

    // The worker's socket while the session runs; false (nothing attached) once cancelled.
    bool attach(int socketFd);
    void detach();

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int socket_ = -1;
    bool cancelled_ = false;
};

}  // namespace imgdl
