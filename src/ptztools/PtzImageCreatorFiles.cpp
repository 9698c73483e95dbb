#include "ptztools/PtzImageCreatorFiles.h"

#include <algorithm>
#include <array>

namespace imgdl {
namespace {

PtzProtocol EmptySlot() {
    std::array<std::uint8_t, PtzProtocol::kSize> bytes;
    bytes.fill(0xFF);
    return PtzProtocol::FromBytes(bytes);
}

}  // namespace

FileDialogRequest PtzDatabaseFileRequest(bool save) {
    FileDialogRequest request;
    request.save = save;
    request.defaultExtension = "pdb";
    request.filter = "PTZ DB Files (*.pdb)|*.pdb|All Files (*.*)|*.*||";
    request.promptOverwrite = save;
    return request;
}

FileDialogRequest PtzImageFileRequest(bool save) {
    FileDialogRequest request;
    request.save = save;
    request.defaultExtension = "bin";
    request.filter = "PTZ-Image Files (*.bin)|*.bin|All Files (*.*)|*.*||";
    request.promptOverwrite = save;
    return request;
}

std::int32_t ProposedPtzNumber(const PtzDatabase& database) {
    return std::max<std::int32_t>(database.NextNumber(), 0);
}

bool AppendPtzProtocol(PtzDatabase& database, const PtzProtocol& protocol) {
    if (!database.Grow(1)) return false;
    database.Put(database.Count() - 1, protocol);
    return true;
}

int KeepLeadingPtzEntries(PtzImage& image) {
    PtzProtocol slot;
    int count = 0;
    while (count < kPtzImageSlotCount && image.GetSlot(count, slot) && slot.number != -1) ++count;
    const PtzProtocol empty = EmptySlot();
    for (int s = count; s < kPtzImageSlotCount; ++s) image.PutSlot(s, empty);
    return count;
}

}  // namespace imgdl
