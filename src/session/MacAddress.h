#pragma once
// A unit's MAC address and its text form (twelve hex digits). Its wire form is in
// SessionPayloads.h, its integrated-image form in image/IdentityPatch.h.
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

}  // namespace imgdl
