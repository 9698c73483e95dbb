#include "session/MacAddress.h"

#include <algorithm>
#include <cstdio>

namespace imgdl {

namespace {
constexpr std::uint32_t kHalfMax = 0xFFFFFF;
}

bool IsHexDigit(char c) {
    return HexDigitValue(c) >= 0;
}

int HexDigitValue(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

std::int32_t ParseHex(std::string_view text) {
    if (text.size() > 8) return -1;
    std::uint32_t sum = 0;
    for (char c : text) sum = sum * 16u + static_cast<std::uint32_t>(HexDigitValue(c));
    return static_cast<std::int32_t>(sum);
}

MacAddress ParseMacAddress(std::string_view text) {
    const std::string_view first = text.substr(0, 6);
    const std::string_view rest = text.size() > 6 ? text.substr(6, 6) : std::string_view{};
    return {static_cast<std::uint32_t>(ParseHex(first)),
            static_cast<std::uint32_t>(ParseHex(rest))};
}

void IncrementMacAddress(MacAddress& mac) {
    ++mac.low;
    if (mac.low > kHalfMax) {
        mac.low = 0;
        ++mac.high;
        if (mac.high > kHalfMax) mac.high = 0;
    }
}

std::string FormatMacAddress(const MacAddress& mac) {
    char text[13];
    std::snprintf(text, sizeof text, "%06X%06X", mac.high & kHalfMax, mac.low & kHalfMax);
    return text;
}

bool IsValidMacText(std::string_view text) {
    return text.size() == 12 && std::all_of(text.begin(), text.end(), IsHexDigit);
}

}  // namespace imgdl
