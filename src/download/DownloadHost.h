#pragma once
// What the download flows need from their front end (the main dialog, or the
// command-line program): its fields, its messages and a way to run one session.
#include <cstdint>
#include <memory>
#include <string>

#include "download/DownloadJob.h"
#include "download/DownloaderFields.h"
#include "gzip/Diagnostics.h"
#include "res/MessageService.h"

namespace imgdl {

// One session as a flow asks for it. The payload stays valid while payloadOwner
// lives; a front end that lets a worker outlive the session keeps a copy of it.
struct SessionRequest {
    std::uint32_t command = 0;
    std::string targetAddress;
    std::uint16_t targetPort = 0;
    const std::uint8_t* data = nullptr;
    std::int32_t size = 0;
    std::shared_ptr<const void> payloadOwner;
};

// The worker's job for a session request (no window yet, default time limits).
DownloadJob MakeDownloadJob(const SessionRequest& request);

class DownloadHost {
  public:
    virtual ~DownloadHost() = default;
    virtual DownloaderFields& fields() = 0;
    // Controls into fields; false at the first field that fails conversion.
    virtual bool readFields() = 0;
    // Fields into controls.
    virtual void writeFields() = 0;
    // The target address as the address control shows it now (at most 15 characters).
    virtual std::string targetAddressText() = 0;
    virtual MessageService& messages() = 0;
    // Runs one session to its end; true only when it ended with the recorder's
    // final acknowledgement. The front end shows a failing session's message.
    virtual bool runSession(const SessionRequest& request) = 0;
    // Where the version probe's decompressor diagnostics go.
    virtual gzip::DiagnosticSink& probeDiagnostics() { return gzip::StandardOutputSink(); }
};

}  // namespace imgdl
