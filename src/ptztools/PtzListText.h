#pragma once
// How both lists of the image creator show a protocol, "[%03d]%s", and how a handler
// finds the number again in an entry's text.
#include <cstdint>
#include <optional>

#include <QString>

#include "ptz/PtzProtocol.h"

namespace imgdl {

// "[007]Dome": the number zero-padded to at least three digits, then the name.
QString PtzListText(const PtzProtocol& protocol);

// The decimal digits between the leading "[" and the first "]". Nothing when the text
// does not have that form (a negative number's minus sign included) or the value does
// not fit a protocol number: such an entry names no protocol that can be looked up.
std::optional<std::int32_t> ParsePtzListNumber(const QString& text);

// Names hold 8-bit characters; each byte is shown as the character of that code.
QString PtzNameText(const PtzProtocol& protocol);
std::string PtzNameBytes(const QString& text);

}  // namespace imgdl
