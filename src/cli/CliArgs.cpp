#include "CliArgs.h"

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

bool TakesFile(const std::string& kind) {
    return kind != "identity";
}

}  // namespace

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
        if (arg == "--trace") {
            out.trace = true;
        } else if (arg == "--verbose") {
            out.verbose = true;
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
