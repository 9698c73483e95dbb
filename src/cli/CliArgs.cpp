#include "CliArgs.h"

#include <cmath>
#include <cstdlib>

#include "common/UnsignedField.h"

namespace imgdl::cli {

std::optional<Target> ParseTarget(const std::string& text) {
    Target target;
    const auto colon = text.find(':');
    target.host = text.substr(0, colon);
    if (target.host.empty() || target.host.size() > 15) return std::nullopt;
    if (colon != std::string::npos) {
        const auto port = ParseUnsignedField(text.substr(colon + 1));
        if (!port || *port == 0 || *port > 65535) return std::nullopt;
        target.port = static_cast<std::uint16_t>(*port);
    }
    return target;
}

namespace {

constexpr int kMaxRetries = 1000;
constexpr double kMaxSeconds = 24 * 3600;

// Seconds, fractions allowed, above 0 and at most a day.
std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds <= 0 ||
        seconds > kMaxSeconds)
        return std::nullopt;
    return std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
}

bool TakesFile(const std::string& kind) {
    return kind != "identity";
}

}  // namespace

Taken ParseSessionLimit(const std::vector<std::string>& args, std::size_t& i, SessionLimits& out,
                        std::string& error) {
    const std::string& arg = args[i];
    const bool isLimit = arg == "--retries" || arg == "--connect-timeout" ||
                         arg == "--ack-timeout" || arg == "--write-timeout";
    if (!isLimit) return Taken::No;
    if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return Taken::Error;
    }
    const std::string& value = args[++i];
    if (arg == "--retries") {
        const auto n = ParseUnsignedField(value);
        if (!n || *n > kMaxRetries) {
            error = "--retries must be a number from 0 to " + std::to_string(kMaxRetries);
            return Taken::Error;
        }
        out.retries = static_cast<int>(*n);
        return Taken::Yes;
    }
    const auto limit = ParseSeconds(value);
    if (!limit) {
        error = arg + " must be a number of seconds above 0, got '" + value + "'";
        return Taken::Error;
    }
    SessionTimeouts& t = out.timeouts;
    if (arg == "--connect-timeout") {
        t.connect = *limit;
    } else if (arg == "--write-timeout") {
        t.sendStall = *limit;
    } else {
        // Every answer the recorder owes: handshake reply, length echo, both acknowledgements.
        t.handshakeReply = t.firstAck = t.writtenAck = *limit;
    }
    return Taken::Yes;
}

std::optional<std::string> ParseSendOptions(const std::vector<std::string>& args,
                                            SendOptions& out) {
    if (args.empty()) return "send: missing kind (app, ptz, integrated or identity)";
    out.kind = args[0];
    if (out.kind != "app" && out.kind != "ptz" && out.kind != "integrated" &&
        out.kind != "identity")
        return "send: unknown kind '" + out.kind + "'";
    const bool identityOptions = out.kind == "integrated" || out.kind == "identity";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        std::string limitError;
        const Taken limit = ParseSessionLimit(args, i, out.limits, limitError);
        if (limit == Taken::Error) return "send: " + limitError;
        if (limit == Taken::Yes) continue;
        if (arg == "--trace") {
            out.trace = true;
        } else if (arg == "--verbose") {
            out.verbose = true;
        } else if (arg == "--json") {
            out.json = true;
        } else if (arg == "--auto-increase" && identityOptions) {
            out.autoIncrease = true;
        } else if (arg == "--target" && hasValue) {
            out.target = ParseTarget(args[++i]);
            if (!out.target)
                return "send: --target must be HOST or HOST:PORT, got '" + args[i] + "'";
        } else if (arg == "--log" && hasValue) {
            out.logPath = args[++i];
        } else if (arg == "--mac" && hasValue && identityOptions) {
            out.mac = args[++i];
        } else if (arg == "--serial" && hasValue && identityOptions) {
            out.serial = ParseUnsignedField(args[++i]);
            if (!out.serial) return "send: --serial must be an unsigned decimal number";
        } else if (!arg.starts_with("-") && TakesFile(out.kind) && out.file.empty()) {
            out.file = arg;
        } else {
            return "send " + out.kind + ": unexpected '" + arg + "'";
        }
    }
    if (!out.target) return "send: --target HOST[:PORT] is required";
    if (TakesFile(out.kind) && out.file.empty()) return "send " + out.kind + ": missing FILE";
    if (out.kind == "identity" && !out.mac && !out.serial)
        return "send identity: give --mac, --serial or both";
    return std::nullopt;
}

}  // namespace imgdl::cli
