#include "session/DownloadJob.h"

#include <algorithm>

namespace imgdl {

bool SetTargetAddress(DownloadJob& job, std::string_view text) {
    std::fill(std::begin(job.targetAddress), std::end(job.targetAddress), '\0');
    if (text.size() >= sizeof job.targetAddress) return false;
    std::copy(text.begin(), text.end(), job.targetAddress);
    return true;
}

DownloadJob MakeDownloadJob(const SessionRequest& request) {
    DownloadJob job;
    job.command = request.command;
    SetTargetAddress(job, request.targetAddress);
    job.targetPort = request.targetPort;
    job.data = request.data;
    job.size = request.size;
    job.payloadOwner = request.payloadOwner;
    return job;
}

void Report(const DownloadJob& job, std::uint32_t message, std::uint32_t wParam) {
    if (job.window) job.window->post(message, wParam);
}

}  // namespace imgdl
