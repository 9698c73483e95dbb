#include "flows/DownloadFlows.h"

#include <climits>
#include <memory>

#include "image/MappedImageFile.h"
#include "image/ProbeFirmwareVersion.h"
#include "ptz/PtzImage.h"
#include "res/StringTable.h"
#include "session/DownloadProtocol.h"
#include "session/SessionPayloads.h"

namespace imgdl {

SessionRequest SessionTo(const DownloadRequest& request, std::uint32_t command) {
    SessionRequest session;
    session.command = command;
    session.target = request.target;
    return session;
}

std::string NextMacText(MacAddress mac) {
    IncrementMacAddress(mac);
    return FormatMacAddress(mac);
}

std::string RefusalText(const FlowOutcome& outcome) {
    if (!outcome.refusalText.empty()) return outcome.refusalText;
    return std::string(LoadString(outcome.refusal));
}

FlowOutcome DownloadFlows::Run(const DownloadRequest& request) {
    // No address (the dialog's blank parts): no session can reach anything to lock.
    if (!request.target) return RunWhileHeld(request);
    // Threads of one run take turns; other processes are refused.
    auto lock = RecorderLock::AcquireAfterSiblings(*request.target);
    if (const auto* refusal = std::get_if<RecorderLock::Refusal>(&lock))
        return FlowOutcome::RefuseWith(RefusalMessage(*request.target, *refusal));
    return RunWhileHeld(request);
}

FlowOutcome DownloadFlows::RunWhileHeld(const DownloadRequest& request) {
    switch (request.kind) {
        case DownloadKind::Integrated:
            return DownloadIntegratedImage(request);
        case DownloadKind::Identity:
            if (request.writeMac && request.writeSerial) return DownloadMacAndSerial(request);
            if (request.writeMac) return DownloadMacAddress(request);
            if (request.writeSerial) return DownloadSerialNumber(request);
            return {};  // nothing chosen, nothing sent
        case DownloadKind::Application:
            return DownloadApplicationImage(request);
        case DownloadKind::Ptz:
            return DownloadPtzImage(request);
    }
    return {};
}

std::optional<FlowOutcome> DownloadFlows::checkVersion(const DownloadRequest& request,
                                                       std::int32_t version) {
    if (const auto message = ProbeFailureMessage(version)) return FlowOutcome::Refuse(*message);
    const auto payload = std::make_shared<const std::array<std::uint8_t, kVersionPayloadSize>>(
        EncodeVersionPayload(static_cast<std::uint32_t>(version)));
    SessionRequest session = SessionTo(request, CMD_FIRMWARE_VERSION);
    session.payload = {*payload, payload};
    if (const SessionOutcome outcome = runner_.run(session); outcome.error != 0)
        return FlowOutcome::Session(outcome);
    return std::nullopt;
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
    session.payload = {{file->view(), file->mappedLength()}, file};
    return session;
}

}  // namespace

FlowOutcome DownloadFlows::DownloadApplicationImage(const DownloadRequest& request) {
    const auto file = MapReadOnly(request.imagePath);
    if (!file) return FlowOutcome::Refuse(IDS_CANT_OPEN_IMAGE);
    const std::int32_t version =
        ProbeFirmwareVersion(request.imagePath, ImageLayout::Application, diagnostics_);
    if (auto stopped = checkVersion(request, version)) return *stopped;
    return FlowOutcome::Session(
        runner_.run(WithFile(SessionTo(request, CMD_APPLICATION_IMAGE), file)));
}

FlowOutcome DownloadFlows::DownloadPtzImage(const DownloadRequest& request) {
    const auto file = MapReadOnly(request.imagePath);
    if (!file) return FlowOutcome::Refuse(IDS_CANT_OPEN_IMAGE);
    if (!IsValidPtzImage(std::span<const std::uint8_t>(file->view(), file->mappedLength())))
        return FlowOutcome::Refuse(IDS_INVALID_PTZ_IMAGE);
    return FlowOutcome::Session(runner_.run(WithFile(SessionTo(request, CMD_PTZ_IMAGE), file)));
}

}  // namespace imgdl
