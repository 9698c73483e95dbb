#pragma once
// A unit's MAC address: its text form (twelve hex digits), its wire form (two
// big-endian words) and its integrated-image form (two little-endian words).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace imgdl {

struct MacAddress {
    std::uint32_t high = 0;  // the first six hex digits
    std::uint32_t low = 0;   // the digits after them
};

bool IsHexDigit(char c);
// 0..15, or -1 for a character that is not a hex digit.
int HexDigitValue(char c);
// -1 for a text longer than 8 characters; otherwise the digits' weighted sum in 32-bit
// wrap-around arithmetic, a non-digit subtracting its position's weight.
std::int32_t ParseHex(std::string_view text);
// high from the first six characters, low from the next six at most (0 when the
// text has no seventh character).
MacAddress ParseMacAddress(std::string_view text);
void IncrementMacAddress(MacAddress& mac);
// Twelve uppercase hex digits: "%06X" of the low 24 bits of high, then of low.
std::string FormatMacAddress(const MacAddress& mac);

// Exactly twelve hex digits: the only MAC text that may be written into a unit.
bool IsValidMacText(std::string_view text);

// The 8 bytes that carry a MAC on the wire: high, then low, each big-endian.
std::array<std::uint8_t, 8> MacWireBytes(const MacAddress& mac);

}  // namespace imgdl
