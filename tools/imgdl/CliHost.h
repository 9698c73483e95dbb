#pragma once
// The download flows' front end on the command line: fields from the options,
// messages on standard error, sessions run in this process with a progress printer.
#include <cstdio>
#include <optional>
#include <string>

#include "CliArgs.h"
#include "ConsoleMessages.h"
#include "ProvisioningLog.h"
#include "download/DownloadHost.h"
#include "download/DownloadJob.h"

namespace imgdl::cli {

// Standard output carries results only: the decompressor's diagnostics are dropped,
// or shown on standard error with --verbose.
inline gzip::DiagnosticSink& ProbeDiagnostics(bool verbose) {
    return verbose ? gzip::StandardErrorSink() : gzip::DiscardSink();
}

class CliHost final : public DownloadHost {
  public:
    CliHost(const SendOptions& options, std::FILE* err, bool terminal);

    DownloaderFields& fields() override { return fields_; }
    bool readFields() override { return true; }  // options are converted once, up front
    void writeFields() override { macWrittenBack_ = true; }
    std::string targetAddressText() override { return fields_.targetIpControl; }
    MessageService& messages() override { return messages_; }
    bool runSession(const SessionRequest& request) override;
    gzip::DiagnosticSink& probeDiagnostics() override { return ProbeDiagnostics(verbose_); }

    // What the run came to, for the exit code.
    int exitCode() const;
    // The MAC text written back by a flow that advanced it.
    std::optional<std::string> advancedMac() const;

    SessionTimeouts timeouts;  // tests shorten them

  private:
    LogEntry describe(const SessionRequest& request) const;

    DownloaderFields fields_;
    ConsoleMessages messages_;
    std::FILE* err_;
    bool terminal_;
    bool trace_;
    bool verbose_;
    std::optional<ProvisioningLog> log_;
    std::string lastVersion_;
    bool sessionFailed_ = false;
    bool macWrittenBack_ = false;
};

// The fields a send of the given kind starts from.
DownloaderFields FieldsFor(const SendOptions& options);

}  // namespace imgdl::cli
