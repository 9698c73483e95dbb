#pragma once
// MAC addresses as 48-bit numbers, their twelve-digit text, and the rules a ledger's
// range must follow.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ledger/LedgerError.h"

namespace imgdl::ledger {

inline constexpr std::uint64_t kMacMax = 0xFFFFFFFFFFFFull;
inline constexpr std::uint64_t kSerialMax = 0xFFFFFFFFull;

// Exactly twelve hex digits, either case.
std::optional<std::uint64_t> ParseMac48(std::string_view text);
// Twelve uppercase hex digits.
std::string FormatMac48(std::uint64_t mac);

// True when some address in [first, last] has the multicast bit (the low bit of the
// first octet) set. A range whose ends differ in the first octet always holds one.
bool RangeHoldsMulticast(std::uint64_t first, std::uint64_t last);

// Refuses (InvalidRange) texts that are not twelve hex digits, first above last, a range
// holding the all-zero, the broadcast or a multicast address, and serial numbers that
// would go past 32 bits.
LedgerError ValidateRange(std::string_view macFirst, std::string_view macLast,
                          std::uint64_t serialFirst);

}  // namespace imgdl::ledger
