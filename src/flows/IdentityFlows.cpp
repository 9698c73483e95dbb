// The flows that write a unit's identity alone, without an image.
#include <array>
#include <memory>

#include "flows/DownloadFlows.h"
#include "res/StringTable.h"
#include "session/DownloadProtocol.h"
#include "session/SessionPayloads.h"

namespace imgdl {
namespace {

template <std::size_t N>
SessionRequest WithBytes(SessionRequest session, const std::array<std::uint8_t, N>& bytes) {
    const auto owned = std::make_shared<const std::array<std::uint8_t, N>>(bytes);
    session.payload = {*owned, owned};
    return session;
}

// The outcome of a session that wrote `mac`, with the next MAC when it was asked for.
FlowOutcome AfterMacWritten(const SessionOutcome& session, const DownloadRequest& request,
                            const MacAddress& mac) {
    FlowOutcome outcome = FlowOutcome::Session(session);
    if (session.error == 0 && request.autoIncrease) outcome.nextMac = NextMacText(mac);
    return outcome;
}

}  // namespace

FlowOutcome DownloadFlows::DownloadMacAddress(const DownloadRequest& request) {
    if (!IsValidMacText(request.macText)) return FlowOutcome::Refuse(IDS_INVALID_MAC);
    const MacAddress mac = ParseMacAddress(request.macText);
    const SessionOutcome session =
        runner_.run(WithBytes(SessionTo(request, CMD_MAC_ADDRESS), EncodeMacPayload(mac)));
    return AfterMacWritten(session, request, mac);
}

FlowOutcome DownloadFlows::DownloadSerialNumber(const DownloadRequest& request) {
    return FlowOutcome::Session(runner_.run(
        WithBytes(SessionTo(request, CMD_SERIAL_NUMBER), EncodeSerialPayload(request.serial))));
}

FlowOutcome DownloadFlows::DownloadMacAndSerial(const DownloadRequest& request) {
    // A malformed MAC written into a unit corrupts its identity: refuse it here as
    // the MAC-only flow does.
    if (!IsValidMacText(request.macText)) return FlowOutcome::Refuse(IDS_INVALID_MAC);
    const MacAddress mac = ParseMacAddress(request.macText);
    const SessionOutcome session = runner_.run(WithBytes(
        SessionTo(request, CMD_MAC_AND_SERIAL), EncodeMacAndSerialPayload(mac, request.serial)));
    return AfterMacWritten(session, request, mac);
}

}  // namespace imgdl
