#include "CliHost.h"

#include "ProgressPrinter.h"
#include "common/ByteOrder.h"
#include "download/DownloadProtocol.h"
#include "download/ImageLayout.h"
#include "download/MacAddress.h"
#include "download/SessionThread.h"
#include "res/StringTable.h"

namespace imgdl::cli {
namespace {

std::string VersionText(std::uint32_t value) {
    return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 0xFF) + "." +
           std::to_string((value >> 8) & 0xFF);
}

std::string MacText(const std::uint8_t* wireBytes) {
    return FormatMacAddress({LoadBe32(wireBytes), LoadBe32(wireBytes + 4)});
}

}  // namespace

DownloaderFields FieldsFor(const SendOptions& o) {
    DownloaderFields f;
    static constexpr std::pair<const char*, std::int32_t> kTypes[] = {
        {"integrated", DOWNLOAD_INTEGRATED_IMAGE},
        {"identity", DOWNLOAD_INDIVIDUAL_DATA},
        {"app", DOWNLOAD_APPLICATION_IMAGE},
        {"ptz", DOWNLOAD_PTZ_IMAGE}};
    for (const auto& [name, type] : kTypes)
        if (o.kind == name) f.downloadType = type;
    f.imagePath = o.file;
    f.targetIpControl = o.target ? o.target->host : std::string();
    f.portNumber = o.target ? o.target->port : 0;
    f.macCheckBox = o.mac.has_value();
    f.macText = o.mac.value_or("");
    f.serialCheckBox = o.serial.has_value();
    f.serialNumber = o.serial.value_or(0);
    // As in the dialog, "Auto Increase" is usable only while a MAC is written.
    f.autoIncreaseEnabled = f.macCheckBox;
    f.autoIncreaseCheckBox = o.autoIncrease;
    return f;
}

CliHost::CliHost(const SendOptions& options, std::FILE* err, bool terminal)
    : fields_(FieldsFor(options)),
      messages_(err),
      err_(err),
      terminal_(terminal),
      trace_(options.trace),
      verbose_(options.verbose) {
    if (options.logPath) log_.emplace(*options.logPath);
}

LogEntry CliHost::describe(const SessionRequest& r) const {
    LogEntry e;
    e.target = r.targetAddress + ":" + std::to_string(r.targetPort);
    e.command = std::string(CommandName(r.command));
    e.length = r.size;
    const std::uint8_t* p = r.data;
    switch (r.command) {
        case CMD_FIRMWARE_VERSION:
            e.version = VersionText(LoadLe32(p));
            break;
        case CMD_MAC_ADDRESS:
            e.mac = MacText(p);
            break;
        case CMD_SERIAL_NUMBER:
            e.serial = std::to_string(LoadLe32(p));
            break;
        case CMD_MAC_AND_SERIAL:
            e.mac = MacText(p);
            e.serial = std::to_string(LoadLe32(p + 8));
            break;
        case CMD_INTEGRATED_IMAGE:
            if (fields_.macCheckBox)
                e.mac = FormatMacAddress(
                    {LoadLe32(p + kMacAddressOffset), LoadLe32(p + kMacAddressOffset + 4)});
            if (fields_.serialCheckBox)
                e.serial = std::to_string(LoadBe32(p + kSerialNumberOffset));
            [[fallthrough]];
        default:
            e.imagePath = fields_.imagePath;
            e.version = lastVersion_;
    }
    return e;
}

bool CliHost::runSession(const SessionRequest& r) {
    DownloadJob job = MakeDownloadJob(r);
    job.timeouts = timeouts;
    job.window = std::make_shared<ProgressPrinter>(err_, terminal_, r.size);
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
    LogEntry entry = describe(r);
    std::fprintf(err_, "%s to %s, %d bytes\n", entry.command.c_str(), entry.target.c_str(), r.size);

    const SessionOutcome outcome = RunDownloadSession(std::move(job));
    if (r.command == CMD_FIRMWARE_VERSION) lastVersion_ = entry.version;
    entry.result = outcome.error == 0 ? "OK" : std::string(ErrorName(outcome.error));
    if (outcome.error != 0) {
        sessionFailed_ = true;
        entry.message = std::string(LoadString(ErrorMessageId(outcome.error).value_or(0)));
        messages_.showMessage(entry.message, MessageButtons::Ok, MessageIcon::Default);
    }
    if (!outcome.workerEnded)
        messages_.showMessage(LoadString(IDS_TERMINATION_ERROR), MessageButtons::Ok,
                              MessageIcon::Default);
    if (log_ && !log_->Append(entry)) std::fprintf(err_, "imgdl: cannot write the log file\n");
    return outcome.error == 0;
}

int CliHost::exitCode() const {
    if (sessionFailed_) return kExitSession;
    return messages_.shown() > 0 ? kExitRefused : kExitOk;
}

std::optional<std::string> CliHost::advancedMac() const {
    if (!macWrittenBack_) return std::nullopt;
    return fields_.macText;
}

}  // namespace imgdl::cli
