#include "session/DownloadJob.h"

#include <algorithm>

namespace imgdl {

DownloadJob MakeDownloadJob(const SessionRequest& request) {
    DownloadJob job;
    job.command = request.command;
    job.target = request.target;
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

namespace imgdl {

void ReportFailure(const DownloadJob& job, const SessionCause& cause) {
    if (job.window) job.window->failed(cause);
}

std::string TargetText(const std::optional<RecorderAddress>& target) {
    return target ? target->text() : std::string("(no address)");
}

}  // namespace imgdl
