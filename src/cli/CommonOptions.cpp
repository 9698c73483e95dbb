#include "CommonOptions.h"

#include "CommandLine.h"
#include "common/UnsignedField.h"

namespace imgdl::cli {
namespace {

Target TargetOrUsageError(const std::string& text) {
    const auto target = ParseTarget(text);
    if (!target)
        UsageError("--target must be HOST or HOST:PORT, got '" + Printable(text) +
                   "' (HOST: an IPv4 address, four numbers 0-255; PORT: 1-65535)");
    return *target;
}

void AddSecondsOption(CLI::App& app, const std::string& name,
                      std::function<void(std::chrono::milliseconds)> set) {
    app.add_option_function<std::string>(
           name,
           [name, set = std::move(set)](const std::string& text) {
               const auto limit = ParseSeconds(text);
               if (!limit)
                   UsageError(name + " must be a number of seconds above 0, got '" + text + "'");
               set(*limit);
           })
        ->type_name("S");
}

}  // namespace

void AddTargetOption(CLI::App& app, std::optional<Target>& target) {
    app.add_option_function<std::string>(
           "--target", [&target](const std::string& text) { target = TargetOrUsageError(text); })
        ->required()
        ->type_name("HOST[:PORT]");
}

void AddTargetsOption(CLI::App& app, std::vector<Target>& targets) {
    app.add_option_function<std::vector<std::string>>(
           "--target",
           [&targets](const std::vector<std::string>& given) {
               for (const std::string& text : given) targets.push_back(TargetOrUsageError(text));
           })
        ->required()
        ->allow_extra_args(false)  // one target per --target; the next word is not one
        ->type_name("HOST[:PORT]");
}

void AddSessionLimitOptions(CLI::App& app, SessionLimits& limits) {
    app.add_option_function<std::string>(
           "--retries",
           [&limits](const std::string& text) {
               const auto n = ParseUnsignedField(text);
               if (!n || *n > kMaxRetries)
                   UsageError("--retries must be a number from 0 to " +
                              std::to_string(kMaxRetries));
               limits.retries = static_cast<int>(*n);
           })
        ->type_name("N");
    SessionTimeouts& t = limits.timeouts;
    AddSecondsOption(app, "--connect-timeout", [&t](auto limit) { t.connect = limit; });
    AddSecondsOption(app, "--write-timeout", [&t](auto limit) { t.sendStall = limit; });
    // Every answer the recorder owes: handshake reply, length echo, both acknowledgements.
    AddSecondsOption(app, "--ack-timeout",
                     [&t](auto limit) { t.handshakeReply = t.firstAck = t.writtenAck = limit; });
}

void AddLedgerOption(CLI::App& app, std::string& location) {
    app.add_option("--ledger", location)->type_name("L");
}

}  // namespace imgdl::cli
