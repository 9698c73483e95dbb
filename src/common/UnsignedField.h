#pragma once
// The text of a number field (port, serial number) as an unsigned 32-bit value. Qt-free:
// the main dialog and the command-line front end read these fields the same way.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace imgdl {

// A field's text is read up to this many characters.
inline constexpr std::size_t kMaxFieldTextLength = 31;

// An unsigned decimal number with blanks and tabs allowed around it. Nothing for an
// empty text, a sign, any other character, a value above 4294967295, and a text longer
// than kMaxFieldTextLength (cutting it would silently change the number).
std::optional<std::uint32_t> ParseUnsignedField(std::string_view text);

}  // namespace imgdl
