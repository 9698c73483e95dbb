#include "common/RecorderAddress.h"

#include "common/UnsignedField.h"

namespace imgdl {
namespace {

// Decimal digits only, at most `maxDigits` of them, value at most `max`.
std::optional<std::uint32_t> DecimalNumber(std::string_view text, std::size_t maxDigits,
                                           std::uint32_t max) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > max) return std::nullopt;
    return value;
}

std::optional<std::array<std::uint8_t, 4>> ParseDottedQuad(std::string_view text) {
    std::array<std::uint8_t, 4> ip{};
    for (std::size_t part = 0; part < ip.size(); ++part) {
        const std::size_t dot = text.find('.');
        const bool last = part + 1 == ip.size();
        if (last != (dot == std::string_view::npos)) return std::nullopt;
        const auto value = DecimalNumber(text.substr(0, dot), 3, 255);
        if (!value) return std::nullopt;
        ip[part] = static_cast<std::uint8_t>(*value);
        text = last ? std::string_view() : text.substr(dot + 1);
    }
    return ip;
}

}  // namespace

std::string RecorderAddress::hostText() const {
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
           std::to_string(ip[3]);
}

std::string RecorderAddress::text() const {
    std::string t = hostText() + ":" + std::to_string(port);
    if (!interfaceName.empty()) t += "%" + interfaceName;
    return t;
}

std::optional<std::uint16_t> ParsePortNumber(std::string_view text) {
    // Read as the dialog reads its number fields: blanks around the digits are allowed.
    const auto value = ParseUnsignedField(text);
    if (!value || *value == 0 || *value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

bool IsInterfaceName(std::string_view name) {
    if (name.empty() || name.size() > 15) return false;
    for (const char c : name)
        if (c <= ' ' || c > '~' || c == '/' || c == ':' || c == '%') return false;
    return true;
}

std::optional<RecorderAddress> ParseRecorderAddress(std::string_view text,
                                                    const AddressSyntax& syntax) {
    for (const char c : text)
        if (c < ' ' || c > '~') return std::nullopt;
    RecorderAddress address;
    address.port = syntax.defaultPort;
    if (const std::size_t percent = text.find('%'); percent != std::string_view::npos) {
        if (!syntax.allowInterface || !IsInterfaceName(text.substr(percent + 1)))
            return std::nullopt;
        address.interfaceName = std::string(text.substr(percent + 1));
        text = text.substr(0, percent);
    }
    if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        const auto port = syntax.allowPort ? ParsePortNumber(text.substr(colon + 1)) : std::nullopt;
        if (!port) return std::nullopt;
        address.port = *port;
        text = text.substr(0, colon);
    }
    const auto ip = ParseDottedQuad(text);
    if (!ip) return std::nullopt;
    address.ip = *ip;
    return address;
}

}  // namespace imgdl
