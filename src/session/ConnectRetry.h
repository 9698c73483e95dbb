#pragma once
// A unit still booting refuses connections for a while: a session whose connect failed
// is started again after a growing wait. Only a failed connect is retried; nothing of
// the session has been sent then.
#include <chrono>
#include <functional>

#include "session/DownloadJob.h"
#include "session/SessionThread.h"

namespace imgdl {

// The wait before retry `attempt` (0 first): 0.5 s, doubling, at most 8 s.
std::chrono::milliseconds RetryWait(int attempt);

// Runs the job's session, and again up to `retries` times while it ends with ERR_CONNECT.
// `announce` is told of each wait before it starts.
SessionOutcome RunWithConnectRetries(const DownloadJob& job, int retries,
                                     const std::function<void(std::chrono::milliseconds)>& announce,
                                     SessionThreading threading = SessionThreading::OwnThread);

}  // namespace imgdl
