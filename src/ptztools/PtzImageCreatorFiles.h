#pragma once
// The file dialogs of the image creator and the database and image operations it
// needs beyond the containers' own.
#include <cstdint>

#include "ptz/PtzDatabase.h"
#include "ptz/PtzImage.h"
#include "res/MessageService.h"

namespace imgdl {

FileDialogRequest PtzDatabaseFileRequest(bool save);
FileDialogRequest PtzImageFileRequest(bool save);

// The number offered for a new protocol: the database's next free number, but never
// below 0 (a database read from a file may hold only negative numbers).
std::int32_t ProposedPtzNumber(const PtzDatabase& database);

// Appends one record; false, with the database unchanged, when memory runs out.
bool AppendPtzProtocol(PtzDatabase& database, const PtzProtocol& protocol);

// The number of entries before the first empty slot. Slots after it are emptied, so
// that nothing the operator does not see in the list stays in the image.
int KeepLeadingPtzEntries(PtzImage& image);

}  // namespace imgdl
