#pragma once
// How both lists of the image creator show a protocol, "[%03d]%s", and how a handler
// finds the protocol behind an entry: by the number the entry carries as item data,
// never by reading its text back.
#include <cstdint>
#include <memory>

#include <QListWidgetItem>
#include <QString>

#include "ptz/PtzProtocol.h"

namespace imgdl {

// "[007]Dome": the number zero-padded to at least three digits, then the name.
QString PtzListText(const PtzProtocol& protocol);

// A list entry for `protocol`: its list text, and its number as Qt::UserRole data.
std::unique_ptr<QListWidgetItem> MakePtzListItem(const PtzProtocol& protocol);
// Shows `protocol` in an existing entry, text and number alike.
void SetPtzListItem(QListWidgetItem& item, const PtzProtocol& protocol);
// The number of the protocol an entry shows.
std::int32_t PtzListItemNumber(const QListWidgetItem& item);

// Names hold 8-bit characters; each byte is shown as the character of that code.
QString PtzNameText(const PtzProtocol& protocol);
std::string PtzNameBytes(const QString& text);

}  // namespace imgdl
