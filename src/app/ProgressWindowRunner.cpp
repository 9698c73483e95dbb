#include "app/ProgressWindowRunner.h"

#include "app/DownloadProgressDialog.h"
#include "session/DownloadProtocol.h"
#include "ui/DialogService.h"

namespace imgdl {

int ProgressWindowRunner::run(const SessionRequest& request) {
    DownloadJob job = MakeDownloadJob(request);
    job.timeouts = timeouts;
    DownloadProgressDialog progress(std::move(job), parent_, service_);
    if (service_.runModal(progress) == QDialog::Accepted) return 0;
    // A window closed before its session reported anything has not reached the recorder.
    return progress.sessionError() != 0 ? progress.sessionError() : ERR_NETWORK;
}

}  // namespace imgdl
