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

std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text) {
    constexpr double kMaxSeconds = 24 * 3600;
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds <= 0 ||
        seconds > kMaxSeconds)
        return std::nullopt;
    return std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
}

}  // namespace imgdl::cli
