#include "app/ProgressWindowRunner.h"

#include "app/DownloadProgressDialog.h"
#include "session/DownloadProtocol.h"
#include "ui/DialogService.h"

namespace imgdl {

SessionOutcome ProgressWindowRunner::run(const SessionRequest& request) {
    DownloadJob job = MakeDownloadJob(request);
    job.timeouts = timeouts;
    DownloadProgressDialog progress(std::move(job), parent_, service_);
    if (service_.runModal(progress) == QDialog::Accepted) return {};
    // A window closed before its session reported anything has not reached the recorder.
    SessionOutcome outcome;
    outcome.error = progress.sessionError() != 0 ? progress.sessionError() : ERR_NETWORK;
    outcome.cause.text = progress.sessionCause();
    return outcome;
}

}  // namespace imgdl
