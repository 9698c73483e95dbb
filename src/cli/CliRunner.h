#pragma once
// How imgdl runs the flows' sessions: in this process, with a progress printer on standard
// error, an optional protocol trace and an optional CSV log of every session.
#include <cstdio>
#include <optional>
#include <string>

#include "CliArgs.h"
#include "ProvisioningLog.h"
#include "flows/DownloadFlows.h"
#include "session/DownloadJob.h"

namespace imgdl::cli {

// Standard output carries results only: the decompressor's diagnostics are dropped,
// or shown on standard error with --verbose.
inline gzip::DiagnosticSink& ProbeDiagnostics(bool verbose) {
    return verbose ? gzip::StandardErrorSink() : gzip::DiscardSink();
}

// The download a send of the given options asks for.
DownloadRequest RequestFor(const SendOptions& options);

class CliRunner final : public SessionRunner {
  public:
    CliRunner(const SendOptions& options, std::FILE* err, bool terminal);
    // Prints a failing session's message on standard error.
    SessionOutcome run(const SessionRequest& request) override;

    SessionTimeouts timeouts;  // tests shorten them

  private:
    LogEntry describe(const DownloadJob& job) const;
    void say(std::string_view text) const;

    DownloadRequest download_;
    std::FILE* err_;
    bool terminal_;
    bool trace_;
    int retries_;
    std::optional<ProvisioningLog> log_;
    std::string lastVersion_;
};

}  // namespace imgdl::cli
