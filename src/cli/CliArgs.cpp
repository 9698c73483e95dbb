#include "CliArgs.h"
#include <cstdio>

#include <cmath>
#include <cstdlib>

#include "common/UnsignedField.h"

namespace imgdl::cli {

std::optional<Target> ParseTarget(const std::string& text) {
    return ParseRecorderAddress(text);
}

std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        out += escaped;
    }
    return out;
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
