#include "session/ConnectRetry.h"

#include <algorithm>
#include <thread>

#include "session/DownloadProtocol.h"

namespace imgdl {

std::chrono::milliseconds RetryWait(int attempt) {
    constexpr std::chrono::milliseconds kFirst{500}, kLongest{8000};
    const int doublings = std::min(attempt, 4);
    return std::min(kFirst * (1 << doublings), kLongest);
}

SessionOutcome RunWithConnectRetries(const DownloadJob& job, int retries,
                                     const std::function<void(std::chrono::milliseconds)>& announce,
                                     SessionThreading threading) {
    for (int attempt = 0;; ++attempt) {
        SessionOutcome outcome = RunDownloadSession(job, threading);
        if (outcome.error != ERR_CONNECT || attempt >= retries) return outcome;
        const auto wait = RetryWait(attempt);
        if (announce) announce(wait);
        if (!job.cancel)
            std::this_thread::sleep_for(wait);
        else if (!job.cancel->sleepFor(wait))
            return outcome;
    }
}

}  // namespace imgdl
