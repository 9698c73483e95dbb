#include "ledger/MacRange.h"

#include <cstdio>

namespace imgdl::ledger {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr std::uint64_t kMulticastBit = 1ull << 40;

}  // namespace

std::optional<std::uint64_t> ParseMac48(std::string_view text) {
    if (text.size() != 12) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const int digit = HexValue(c);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    return value;
}

std::string FormatMac48(std::uint64_t mac) {
    char text[16];
    std::snprintf(text, sizeof text, "%012llX", static_cast<unsigned long long>(mac & kMacMax));
    return text;
}

bool RangeHoldsMulticast(std::uint64_t first, std::uint64_t last) {
    // Consecutive first octets alternate the low bit, so a range over two or more of them
    // always holds an odd one.
    if ((first >> 40) != (last >> 40)) return true;
    return (first & kMulticastBit) != 0;
}

LedgerError ValidateRange(std::string_view macFirst, std::string_view macLast,
                          std::uint64_t serialFirst) {
    const auto first = ParseMac48(macFirst);
    const auto last = ParseMac48(macLast);
    if (!first || !last) {
        const std::string_view bad = first ? macLast : macFirst;
        return Fail(LedgerErrc::InvalidRange,
                    "the MAC address \"" + std::string(bad) + "\" is not twelve hex digits");
    }
    if (*first > *last)
        return Fail(LedgerErrc::InvalidRange, "the first MAC address is above the last");
    if (*first == 0) return Fail(LedgerErrc::InvalidRange, "the range holds the all-zero address");
    if (*last == kMacMax)
        return Fail(LedgerErrc::InvalidRange, "the range holds the broadcast address FFFFFFFFFFFF");
    if (RangeHoldsMulticast(*first, *last))
        return Fail(LedgerErrc::InvalidRange,
                    "the range holds multicast addresses (the low bit of the first octet set)");
    if (serialFirst > kSerialMax || *last - *first > kSerialMax - serialFirst)
        return Fail(LedgerErrc::InvalidRange, "the serial numbers from " +
                                                  std::to_string(serialFirst) + " for " +
                                                  std::to_string(*last - *first + 1) +
                                                  " units go past " + std::to_string(kSerialMax));
    return {};
}

}  // namespace imgdl::ledger
