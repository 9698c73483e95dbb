#include "download/DownloadHost.h"

namespace imgdl {

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

}  // namespace imgdl
