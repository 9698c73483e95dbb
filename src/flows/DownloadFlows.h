#pragma once
// The download flows: each takes a request, runs its sessions through the front end's
// runner and returns what came of it. They read no control and show no message.
#include "flows/DownloadRequest.h"
#include "flows/RecorderLock.h"
#include "gzip/Diagnostics.h"
#include "session/DownloadJob.h"
#include "session/MacAddress.h"

namespace imgdl {

inline constexpr const char* kIntegratedCopyName = "_ZOMADVR.tmp";

// Runs sessions for the flows. The dialog runs each in a modal progress window, imgdl in
// this process with a progress printer; either shows a failing session's message itself.
class SessionRunner {
  public:
    virtual ~SessionRunner() = default;
    // Runs one session to its end: error 0 when it ended with the recorder's final
    // acknowledgement, otherwise its ERR_* code and cause.
    virtual SessionOutcome run(const SessionRequest& request) = 0;
};

class DownloadFlows {
  public:
    // `diagnostics` receives the version probe's decompressor diagnostics.
    DownloadFlows(SessionRunner& runner,
                  gzip::DiagnosticSink& diagnostics = gzip::StandardOutputSink())
        : runner_(runner), diagnostics_(diagnostics) {}
    virtual ~DownloadFlows() = default;

    // The flow the request's kind and identity choices name, holding the recorder's
    // lock throughout; refused at once, nothing sent, while another process holds it
    // (another thread of this process is waited for).
    FlowOutcome Run(const DownloadRequest& request);
    // The same flow for a caller already holding the recorder's lock (a unit of a
    // station that keeps it across its own steps): a second Acquire would refuse it.
    FlowOutcome RunWhileHeld(const DownloadRequest& request);

    virtual FlowOutcome DownloadApplicationImage(const DownloadRequest& request);
    virtual FlowOutcome DownloadPtzImage(const DownloadRequest& request);
    virtual FlowOutcome DownloadIntegratedImage(const DownloadRequest& request);
    virtual FlowOutcome DownloadMacAddress(const DownloadRequest& request);
    virtual FlowOutcome DownloadSerialNumber(const DownloadRequest& request);
    virtual FlowOutcome DownloadMacAndSerial(const DownloadRequest& request);

  private:
    // The compatibility session for a probed version: nothing when the image may follow.
    std::optional<FlowOutcome> checkVersion(const DownloadRequest& request, std::int32_t version);

    SessionRunner& runner_;
    gzip::DiagnosticSink& diagnostics_;
};

// A session of the request's target and the given command, without payload yet.
SessionRequest SessionTo(const DownloadRequest& request, std::uint32_t command);
// What a refused outcome says to the operator.
std::string RefusalText(const FlowOutcome& outcome);
// The MAC after `mac`, as text.
std::string NextMacText(MacAddress mac);

}  // namespace imgdl
