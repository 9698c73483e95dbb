#include "download/DownloadFlows.h"

#include <array>
#include <climits>
#include <memory>

#include "common/ByteOrder.h"
#include "download/DownloadProtocol.h"
#include "download/MappedImageFile.h"
#include "download/ProbeFirmwareVersion.h"
#include "ptz/PtzImage.h"
#include "res/StringTable.h"

namespace imgdl {

// A small payload owned by shared pointer, so that it outlives any late worker.
template <std::size_t N>
std::shared_ptr<std::array<std::uint8_t, N>> MakePayload() {
    return std::make_shared<std::array<std::uint8_t, N>>();
}

void DownloadFlows::show(int stringId) {
    host_.messages().showMessage(LoadString(stringId));
}

SessionRequest DownloadFlows::request(std::uint32_t command) {
    SessionRequest session;
    session.command = command;
    session.targetAddress = host_.targetAddressText();
    session.targetPort = static_cast<std::uint16_t>(host_.fields().portNumber & 0xFFFF);
    return session;
}

void DownloadFlows::OnDownload() {
    if (!host_.readFields()) {
        show(IDS_WRONG_NUMBER);
        return;
    }
    const DownloaderFields& f = host_.fields();
    switch (f.downloadType) {
        case DOWNLOAD_INTEGRATED_IMAGE:
            DownloadIntegratedImage();
            break;
        case DOWNLOAD_INDIVIDUAL_DATA:
            if (f.macCheckBox && f.serialCheckBox)
                DownloadMacAndSerial();
            else if (f.macCheckBox)
                DownloadMacAddress();
            else if (f.serialCheckBox)
                DownloadSerialNumber();
            break;
        case DOWNLOAD_APPLICATION_IMAGE:
            DownloadApplicationImage();
            break;
        case DOWNLOAD_PTZ_IMAGE:
            DownloadPtzImage();
            break;
        default:
            break;
    }
}

bool DownloadFlows::checkVersion(std::int32_t version) {
    if (const auto message = ProbeFailureMessage(version)) {
        show(*message);
        return false;
    }
    auto payload = MakePayload<4>();
    StoreLe32(payload->data(), static_cast<std::uint32_t>(version));
    SessionRequest session = request(CMD_FIRMWARE_VERSION);
    session.data = payload->data();
    session.size = 4;
    session.payloadOwner = payload;
    return host_.runSession(session);
}

namespace {

// The whole file mapped read-only, or null. A file beyond the protocol's signed
// 32-bit length cannot be announced, so it is refused like one that cannot be opened.
std::shared_ptr<MappedImageFile> MapReadOnly(const std::string& path) {
    auto file = std::make_shared<MappedImageFile>();
    if (!file->Open(path, true) || file->mappedLength() > static_cast<std::size_t>(INT32_MAX))
        return nullptr;
    return file;
}

SessionRequest WithFile(SessionRequest session, const std::shared_ptr<MappedImageFile>& file) {
    session.data = file->view();
    session.size = static_cast<std::int32_t>(file->mappedLength());
    session.payloadOwner = file;
    return session;
}

}  // namespace

void DownloadFlows::DownloadApplicationImage() {
    const std::string path = host_.fields().imagePath;
    const auto file = MapReadOnly(path);
    if (!file) {
        show(IDS_CANT_OPEN_IMAGE);
        return;
    }
    if (!checkVersion(
            ProbeFirmwareVersion(path, ImageLayout::Application, host_.probeDiagnostics())))
        return;
    host_.runSession(WithFile(request(CMD_APPLICATION_IMAGE), file));
}

void DownloadFlows::DownloadPtzImage() {
    const auto file = MapReadOnly(host_.fields().imagePath);
    if (!file) {
        show(IDS_CANT_OPEN_IMAGE);
        return;
    }
    if (!IsValidPtzImage(std::span<const std::uint8_t>(file->view(), file->mappedLength()))) {
        show(IDS_INVALID_PTZ_IMAGE);
        return;
    }
    host_.runSession(WithFile(request(CMD_PTZ_IMAGE), file));
}

void DownloadFlows::advanceMac(MacAddress mac) {
    IncrementMacAddress(mac);
    host_.fields().macText = FormatMacAddress(mac);
    host_.writeFields();
}

}  // namespace imgdl
