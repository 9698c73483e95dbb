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
    job.payload = request.payload;
    return job;
}

void ReportStage(const DownloadJob& job, int stage) {
    if (job.window) job.window->stage(stage);
}

void ReportProgress(const DownloadJob& job, std::uint32_t percent) {
    if (job.window) job.window->progress(percent);
}

void ReportError(const DownloadJob& job, int code) {
    if (job.window) job.window->error(code);
}

}  // namespace imgdl
