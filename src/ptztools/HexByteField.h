#pragma once
// The editor's two-character hexadecimal fields: how a byte is shown, how the text is
// read back, and the edit itself (at most two hex digits, letters turned to capitals).
#include <cstdint>

#include <QString>

class QLineEdit;
class QWidget;

namespace imgdl {

// Two capital hexadecimal digits with a leading zero ("%02X").
QString FormatHexByte(std::uint8_t value);

// Left to right, '0'-'9' and 'A'-'F' are the digits 0 to 15 and any other character
// counts as 0; the low 8 bits of the value are kept. Empty text gives 0.
std::uint8_t ParseHexByte(const QString& text);

// An edit that accepts at most two hexadecimal digits, typed or pasted, in capitals, and
// selects them when it takes the focus.
QLineEdit* MakeHexByteField(QWidget* parent, const QString& objectName);

}  // namespace imgdl
