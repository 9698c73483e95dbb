// The integrated image flow: the unit's identity patched into a private copy of
// the image, the version checked with the recorder, the copy sent.
#include <sys/stat.h>

#include <climits>
#include <memory>
#include <optional>

#include "download/DownloadFlows.h"
#include "download/DownloadProtocol.h"
#include "download/IdentityPatch.h"
#include "download/MappedImageFile.h"
#include "download/ProbeFirmwareVersion.h"
#include "download/TemporaryCopy.h"
#include "res/StringTable.h"

namespace imgdl {
namespace {

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

void DownloadFlows::DownloadIntegratedImage() {
    const DownloaderFields& f = host_.fields();
    const std::string path = f.imagePath;
    if (!FileExists(path)) {
        show(IDS_NO_IMAGE_FILE);
        return;
    }
    // A malformed MAC written into a unit corrupts its identity: refuse it before
    // anything is copied or sent.
    if (f.macCheckBox && !IsValidMacText(f.macText)) {
        show(IDS_INVALID_MAC);
        return;
    }
    TemporaryCopy copy(kIntegratedCopyName);  // removed on every way out
    auto file = std::make_shared<MappedImageFile>();
    if (!copy.CopyFrom(path) || !file->Open(copy.name(), false) ||
        file->mappedLength() > static_cast<std::size_t>(INT32_MAX)) {
        show(IDS_CANT_OPEN_IMAGE);
        return;
    }
    const std::span<std::uint8_t> image(file->view(), file->mappedLength());
    if (image.size() < kMinIntegratedSize) {
        show(IDS_INVALID_FILE_SIZE);
        return;
    }
    std::optional<MacAddress> mac;
    if (f.macCheckBox) {
        mac = ParseMacAddress(f.macText);
        PatchMacAddress(image, *mac);
    }
    if (f.serialCheckBox) PatchSerialNumber(image, f.serialNumber);

    if (!checkVersion(
            ProbeFirmwareVersion(path, ImageLayout::Integrated, host_.probeDiagnostics())))
        return;
    SessionRequest session = request(CMD_INTEGRATED_IMAGE);
    session.data = image.data();
    session.size = static_cast<std::int32_t>(image.size());
    session.payloadOwner = file;
    host_.runSession(session);  // the MAC advances whatever the image session's outcome
    if (mac && f.autoIncreaseEnabled && f.autoIncreaseCheckBox) advanceMac(*mac);
}

}  // namespace imgdl
