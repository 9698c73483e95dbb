// imgdl send: writes an application, PTZ or integrated image, or an identity alone, into
// one recorder, as the main dialog does.
#include "CliRunner.h"
#include "CommandLine.h"
#include "CommandSupport.h"
#include "CommonOptions.h"
#include "JsonOutput.h"
#include "common/UnsignedField.h"
#include "session/DownloadProtocol.h"

namespace imgdl::cli {
namespace {

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
    "\"session failed\" (then \"error\" names the error code, \"step\" the step it failed at,\n"
    "\"cause\" why, \"payload_sent\" whether any payload byte left and \"payload_bytes\" how\n"
    "many). Messages stay on standard error.\n"
    "Exit: 0 done, 1 usage, 2 input refused (nothing sent), 3 a session failed.\n";

// What a send did, with the messages the text output shows.
nlohmann::json SendOutcomeJson(const SendOptions& o, const FlowOutcome& outcome) {
    nlohmann::json j = {{"kind", o.kind}, {"target", o.target->text()}};
    switch (outcome.result) {
        case FlowOutcome::Result::Done:
            j["result"] = "done";
            j["message"] = nullptr;
            break;
        case FlowOutcome::Result::Refused:
            j["result"] = "refused";
            j["message"] = RefusalText(outcome);
            break;
        case FlowOutcome::Result::SessionFailed:
            j["result"] = "session failed";
            j["error"] = std::string(ErrorName(outcome.error));
            j["message"] = std::string(LoadString(ErrorMessageId(outcome.error).value_or(0)));
            j["step"] = std::string(SessionStepName(outcome.cause.step));
            j["cause"] = outcome.cause.text;
            j["payload_sent"] = outcome.cause.payloadStarted();
            j["payload_bytes"] = outcome.cause.payloadBytesSent;
            break;
    }
    j["nextMac"] = outcome.nextMac ? nlohmann::json(*outcome.nextMac) : nlohmann::json(nullptr);
    return j;
}

int RunSend(const SendOptions& options, const Console& c) {
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
            std::fprintf(c.err, "%s\n", RefusalText(outcome).c_str());
            return kExitRefused;
        case FlowOutcome::Result::SessionFailed:
            break;
    }
    return kExitSession;
}

std::uint32_t SerialOrUsageError(const std::string& text) {
    const auto serial = ParseUnsignedField(text);
    if (!serial) UsageError("--serial must be an unsigned decimal number");
    return *serial;
}

// --mac HEX12 (checked by the flows, as the dialog's field is), --serial N, --auto-increase.
void AddIdentityOptions(CLI::App& leaf, SendOptions& o) {
    leaf.add_option_function<std::string>("--mac", [&o](const std::string& mac) { o.mac = mac; })
        ->type_name("HEX12");
    leaf.add_option_function<std::string>(
            "--serial", [&o](const std::string& text) { o.serial = SerialOrUsageError(text); })
        ->type_name("N");
    leaf.add_flag("--auto-increase", o.autoIncrease);
}

void AddSendKind(CLI::App& send, const std::string& kind, Action& chosen) {
    auto o = std::make_shared<SendOptions>();
    o->kind = kind;
    const bool identity = kind == "integrated" || kind == "identity";
    CLI::App& leaf = AddLeaf(send, kind);
    if (kind != "identity") leaf.add_option("FILE", o->file);
    AddTargetOption(leaf, o->target);
    leaf.add_option_function<std::string>("--log",
                                          [&o = *o](const std::string& path) { o.logPath = path; })
        ->type_name("CSV");
    leaf.add_flag("--trace", o->trace);
    leaf.add_flag("--verbose", o->verbose);
    leaf.add_flag("--json", o->json);
    if (identity) AddIdentityOptions(leaf, *o);
    AddSessionLimitOptions(leaf, o->limits);
    OnParsed(
        leaf, chosen,
        [o] {
            if (o->kind != "identity" && o->file.empty()) UsageError("missing FILE");
            if (o->kind == "identity" && !o->mac && !o->serial)
                UsageError("give --mac, --serial or both");
        },
        [o](const Console& c) { return RunSend(*o, c); });
}

}  // namespace

void AddSendCommands(CLI::App& main, Action& chosen) {
    CLI::App& send = AddGroup(main, "send", kSendUsage, "kind");
    for (const char* kind : {"app", "ptz", "integrated", "identity"})
        AddSendKind(send, kind, chosen);
}

}  // namespace imgdl::cli
