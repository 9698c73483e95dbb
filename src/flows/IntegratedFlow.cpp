// The integrated image flow: the unit's identity patched into a private copy of
// the image, the version checked with the recorder, the copy sent.
#include <sys/stat.h>

#include <climits>
#include <memory>
#include <optional>

#include "flows/DownloadFlows.h"
#include "image/IdentityPatch.h"
#include "image/MappedImageFile.h"
#include "image/ProbeFirmwareVersion.h"
#include "image/TemporaryCopy.h"
#include "res/StringTable.h"
#include "session/DownloadProtocol.h"

namespace imgdl {
namespace {

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

FlowOutcome DownloadFlows::DownloadIntegratedImage(const DownloadRequest& request) {
    const std::string& path = request.imagePath;
    if (!FileExists(path)) return FlowOutcome::Refuse(IDS_NO_IMAGE_FILE);
    // A malformed MAC written into a unit corrupts its identity: refuse it before
    // anything is copied or sent.
    if (request.writeMac && !IsValidMacText(request.macText))
        return FlowOutcome::Refuse(IDS_INVALID_MAC);
    // Removed on every way out. Mapped, patched and sent through the descriptor that
    // created it: the folder may be writable by others, who could swap the name.
    TemporaryCopy copy(request.copyPath.empty() ? kIntegratedCopyName : request.copyPath);
    auto file = std::make_shared<MappedImageFile>();
    if (!copy.CopyFrom(path) || !file->Map(copy.descriptor(), false) ||
        file->mappedLength() > static_cast<std::size_t>(INT32_MAX))
        return FlowOutcome::Refuse(IDS_CANT_OPEN_IMAGE);
    const std::span<std::uint8_t> image(file->view(), file->mappedLength());
    if (image.size() < kMinIntegratedSize) return FlowOutcome::Refuse(IDS_INVALID_FILE_SIZE);
    // Read from the copy as it was made, before the identity goes in: the original may
    // have changed since it was copied.
    const std::int32_t version =
        ProbeFirmwareVersionOf(image, ImageLayout::Integrated, diagnostics_);
    std::optional<MacAddress> mac;
    if (request.writeMac) {
        mac = ParseMacAddress(request.macText);
        PatchMacAddress(image, *mac);
    }
    if (request.writeSerial) PatchSerialNumber(image, request.serial);

    if (auto stopped = checkVersion(request, version)) return *stopped;
    SessionRequest session = SessionTo(request, CMD_INTEGRATED_IMAGE);
    session.payload = {image, file};
    FlowOutcome outcome = FlowOutcome::Session(runner_.run(session));
    // The MAC advances whatever the image session's outcome.
    if (mac && request.autoIncrease) outcome.nextMac = NextMacText(*mac);
    return outcome;
}

}  // namespace imgdl
