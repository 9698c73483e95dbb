#include "CliRunner.h"

#include "ProgressPrinter.h"
#include "image/IdentityPatch.h"
#include "res/StringTable.h"
#include "session/ConnectRetry.h"
#include "session/DownloadProtocol.h"
#include "session/SessionPayloads.h"
#include "session/SessionThread.h"

namespace imgdl::cli {

DownloadRequest RequestFor(const SendOptions& o) {
    static constexpr std::pair<const char*, DownloadKind> kKinds[] = {
        {"integrated", DownloadKind::Integrated},
        {"identity", DownloadKind::Identity},
        {"app", DownloadKind::Application},
        {"ptz", DownloadKind::Ptz}};
    DownloadRequest r;
    for (const auto& [name, kind] : kKinds)
        if (o.kind == name) r.kind = kind;
    r.target = o.target;
    r.imagePath = o.file;
    r.writeMac = o.mac.has_value();
    r.macText = o.mac.value_or("");
    r.writeSerial = o.serial.has_value();
    r.serial = o.serial.value_or(0);
    r.autoIncrease = o.autoIncrease;
    return r;
}

CliRunner::CliRunner(const SendOptions& options, std::FILE* err, bool terminal)
    : timeouts(options.limits.timeouts),
      download_(RequestFor(options)),
      err_(err),
      terminal_(terminal),
      trace_(options.trace),
      retries_(options.limits.retries) {
    if (options.logPath) log_.emplace(*options.logPath);
}

void CliRunner::say(std::string_view text) const {
    std::fprintf(err_, "%.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(err_);
}

LogEntry CliRunner::describe(const DownloadJob& job) const {
    LogEntry e;
    if (job.command == CMD_INTEGRATED_IMAGE) {
        // The identity as it was patched into the image sent.
        if (download_.writeMac) e.mac = FormatMacAddress(PatchedMacAddress(job.payload.bytes));
        if (download_.writeSerial)
            e.serial = std::to_string(PatchedSerialNumber(job.payload.bytes));
        e.imagePath = download_.imagePath;
        e.version = lastVersion_;
    } else if (job.command == CMD_APPLICATION_IMAGE || job.command == CMD_PTZ_IMAGE) {
        e.imagePath = download_.imagePath;
        e.version = lastVersion_;
    } else {
        const SessionPayloadTexts texts = DescribeSessionPayload(job.command, job.payload.bytes);
        e.version = texts.version;
        e.mac = texts.mac;
        e.serial = texts.serial;
    }
    e.target = TargetText(job.target);
    e.command = std::string(CommandName(job.command));
    e.length = job.payload.length();
    return e;
}

SessionOutcome CliRunner::run(const SessionRequest& request) {
    // The request goes down once, as the job; the log describes what the job sends.
    DownloadJob job = MakeDownloadJob(request);
    job.timeouts = timeouts;
    job.window = std::make_shared<ProgressPrinter>(err_, terminal_, job.payload.length());
    if (trace_)
        job.trace = [err = err_](std::string_view step, bool sent,
                                 std::optional<std::uint32_t> word) {
            if (word)
                std::fprintf(err, "trace: %s %-8.*s %08X\n", sent ? "sent    " : "received",
                             static_cast<int>(step.size()), step.data(), *word);
            else
                std::fprintf(err, "trace: received %-8.*s (no whole word)\n",
                             static_cast<int>(step.size()), step.data());
        };
    LogEntry entry = describe(job);
    std::fprintf(err_, "%s to %s, %d bytes\n", entry.command.c_str(), entry.target.c_str(),
                 job.payload.length());
    const bool versionCheck = job.command == CMD_FIRMWARE_VERSION;

    const SessionOutcome outcome =
        RunWithConnectRetries(job, retries_, [this, &entry](std::chrono::milliseconds wait) {
            std::fprintf(err_, "imgdl: no connection to %s, trying again in %.1f s\n",
                         entry.target.c_str(), static_cast<double>(wait.count()) / 1000);
        });
    if (versionCheck) lastVersion_ = entry.version;
    entry.result = outcome.error == 0 ? "OK" : std::string(ErrorName(outcome.error));
    if (outcome.error != 0) {
        entry.message = std::string(LoadString(ErrorMessageId(outcome.error).value_or(0)));
        entry.cause = outcome.cause.text;
        say(entry.cause.empty() ? entry.message : entry.message + " (" + entry.cause + ")");
    }
    if (!outcome.workerEnded) say(LoadString(IDS_TERMINATION_ERROR));
    if (log_ && !log_->Append(entry)) std::fprintf(err_, "imgdl: cannot write the log file\n");
    return outcome;
}

}  // namespace imgdl::cli
