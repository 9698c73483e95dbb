#include "Commands.h"

#include "CliArgs.h"
#include "CliRunner.h"
#include "CommandSupport.h"
#include "JsonOutput.h"
#include "common/ProgramVersion.h"
#include "common/RegularFile.h"
#include "flows/DownloadFlows.h"
#include "image/ProbeFirmwareVersion.h"
#include "res/StringTable.h"
#include "session/DownloadProtocol.h"
#include "session/SessionPayloads.h"

namespace imgdl::cli {
namespace {

constexpr const char* kMainUsage =
    "usage: imgdl COMMAND ...\n"
    "  probe [--integrated] [--verbose] [--json] FILE\n"
    "                                 print the firmware version an image carries\n"
    "  send KIND ... --target HOST[:PORT]\n"
    "                                 write an image or identity into a recorder\n"
    "  ptz list|verify|build ...      PTZ databases (.pdb) and images (.bin)\n"
    "  ledger init|status|list ...    the MAC and serial number ledger of a line\n"
    "  provision integrated|identity ... --target HOST[:PORT]...\n"
    "                                 write the ledger's next identities into units\n"
    "  --version                      print the program's version\n"
    "Run 'imgdl COMMAND --help' for the options of a command.\n";

constexpr const char* kProbeUsage =
    "usage: imgdl probe [--integrated] [--verbose] [--json] FILE\n"
    "Prints the firmware version of an application image (or, with --integrated, of an\n"
    "integrated image) as MAJOR.MINOR.PATCH, and nothing else on standard output.\n"
    "--verbose shows the decompressor's diagnostics on standard error.\n"
    "--json prints {\"file\",\"version\",\"major\",\"minor\",\"patch\"} instead; a refusal\n"
    "prints nothing on standard output and its message on standard error.\n";

constexpr const char* kSendUsage =
    "usage: imgdl send app FILE --target HOST[:PORT] [--log CSV] [--trace] [--verbose]\n"
    "                  [--json]\n"
    "       imgdl send ptz FILE --target HOST[:PORT] [--log CSV] [--trace] [--json]\n"
    "       imgdl send integrated FILE --target HOST[:PORT] [--mac HEX12] [--serial N]\n"
    "                  [--auto-increase] [--log CSV] [--trace] [--verbose] [--json]\n"
    "       imgdl send identity --target HOST[:PORT] [--mac HEX12] [--serial N]\n"
    "                  [--auto-increase] [--log CSV] [--trace] [--json]\n"
    "The port defaults to 5000. --auto-increase prints the next MAC address after a\n"
    "MAC was written; --log appends one CSV line per session; --trace prints every\n"
    "protocol word; --verbose shows the decompressor's diagnostics on standard error.\n"
    "Session limits: --retries N (connects that fail are tried again after 0.5 s, 1 s,\n"
    "2 s ... at most 8 s), --connect-timeout S, --ack-timeout S, --write-timeout S.\n"
    "--json prints the outcome as one JSON object on standard output, refusals included:\n"
    "{\"kind\",\"target\",\"result\",\"message\",\"nextMac\"}, result \"done\", \"refused\" or\n"
    "\"session failed\" (then \"error\" names the error code). Messages stay on standard error.\n"
    "Exit: 0 done, 1 usage, 2 input refused (nothing sent), 3 a session failed.\n";

int Refuse(const Console& c, int stringId) {
    std::fprintf(c.err, "%s\n", std::string(LoadString(stringId)).c_str());
    return kExitRefused;
}

// What a send did, with the messages the text output shows.
nlohmann::json SendOutcomeJson(const SendOptions& o, const FlowOutcome& outcome) {
    nlohmann::json j = {{"kind", o.kind},
                        {"target", o.target->host + ":" + std::to_string(o.target->port)}};
    switch (outcome.result) {
        case FlowOutcome::Result::Done:
            j["result"] = "done";
            j["message"] = nullptr;
            break;
        case FlowOutcome::Result::Refused:
            j["result"] = "refused";
            j["message"] = std::string(LoadString(outcome.refusal));
            break;
        case FlowOutcome::Result::SessionFailed:
            j["result"] = "session failed";
            j["error"] = std::string(ErrorName(outcome.error));
            j["message"] = std::string(LoadString(ErrorMessageId(outcome.error).value_or(0)));
            break;
    }
    j["nextMac"] = outcome.nextMac ? nlohmann::json(*outcome.nextMac) : nlohmann::json(nullptr);
    return j;
}

}  // namespace

int RunProbe(const std::vector<std::string>& args, const Console& c) {
    if (WantsHelp(args)) return Usage(c, kProbeUsage);
    bool integrated = false;
    bool verbose = false;
    bool json = false;
    std::string file;
    for (const auto& a : args) {
        if (a == "--integrated")
            integrated = true;
        else if (a == "--verbose")
            verbose = true;
        else if (a == "--json")
            json = true;
        else if (!a.starts_with("-") && file.empty())
            file = a;
        else
            return Usage(c, kProbeUsage, "probe: unexpected '" + a + "'");
    }
    if (file.empty()) return Usage(c, kProbeUsage, "probe: missing FILE");
    // As the download flows do, a file that cannot be opened is refused as such before
    // the probe, whose own result 0 also stands for the version 0.0.0.
    if (!OpenRegularFileForReading(file)) return Refuse(c, IDS_CANT_OPEN_IMAGE);
    const std::int32_t version =
        ProbeFirmwareVersion(file, integrated ? ImageLayout::Integrated : ImageLayout::Application,
                             ProbeDiagnostics(verbose));
    if (const auto message = ProbeFailureMessage(version)) return Refuse(c, *message);
    const auto v = static_cast<std::uint32_t>(version);
    if (json)
        PrintJson(c.out, {{"file", file},
                          {"version", FormatVersion(v)},
                          {"major", v >> 24},
                          {"minor", (v >> 16) & 0xFF},
                          {"patch", (v >> 8) & 0xFF}});
    else
        std::fprintf(c.out, "%s\n", FormatVersion(v).c_str());
    return kExitOk;
}

int RunSend(const std::vector<std::string>& args, const Console& c) {
    if (WantsHelp(args)) return Usage(c, kSendUsage);
    SendOptions options;
    if (const auto error = ParseSendOptions(args, options)) return Usage(c, kSendUsage, *error);
    CliRunner runner(options, c.err, c.terminal);
    const FlowOutcome outcome =
        DownloadFlows(runner, ProbeDiagnostics(options.verbose)).Run(RequestFor(options));
    if (options.json) {
        PrintJson(c.out, SendOutcomeJson(options, outcome));
    } else if (outcome.nextMac) {
        std::fprintf(c.out, "next MAC: %s\n", outcome.nextMac->c_str());
    }
    switch (outcome.result) {
        case FlowOutcome::Result::Done:
            return kExitOk;
        case FlowOutcome::Result::Refused:
            return Refuse(c, outcome.refusal);
        case FlowOutcome::Result::SessionFailed:
            break;
    }
    return kExitSession;
}

int RunMain(const std::vector<std::string>& args, const Console& c) {
    if (args.empty()) return Usage(c, kMainUsage, "missing command");
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") return Usage(c, kMainUsage);
    if (command == "--version") {
        std::fprintf(c.out, "imgdl %s\n", kProgramVersion);
        return kExitOk;
    }
    if (command == "probe") return RunProbe(rest, c);
    if (command == "send") return RunSend(rest, c);
    if (command == "ptz") return RunPtz(rest, c);
    if (command == "ledger") return RunLedger(rest, c);
    if (command == "provision") return RunProvision(rest, c);
    return Usage(c, kMainUsage, "unknown command '" + command + "'");
}

}  // namespace imgdl::cli
