// The flows that write a unit's identity alone, without an image.
#include <array>
#include <memory>

#include "common/ByteOrder.h"
#include "download/DownloadFlows.h"
#include "download/DownloadProtocol.h"
#include "res/StringTable.h"

namespace imgdl {
namespace {

SessionRequest WithBytes(SessionRequest session, std::shared_ptr<const std::uint8_t[]> bytes,
                         std::int32_t size) {
    session.data = bytes.get();
    session.size = size;
    session.payloadOwner = std::move(bytes);
    return session;
}

std::shared_ptr<std::uint8_t[]> MacPayload(const MacAddress& mac, std::size_t size) {
    auto bytes = std::make_shared<std::uint8_t[]>(size);
    const auto wire = MacWireBytes(mac);
    std::copy(wire.begin(), wire.end(), bytes.get());
    return bytes;
}

}  // namespace

void DownloadFlows::DownloadMacAddress() {
    host_.readFields();  // the Download command's own read has just succeeded
    const DownloaderFields& f = host_.fields();
    if (!IsValidMacText(f.macText)) {
        show(IDS_INVALID_MAC);
        return;
    }
    const MacAddress mac = ParseMacAddress(f.macText);
    if (host_.runSession(WithBytes(request(CMD_MAC_ADDRESS), MacPayload(mac, 8), 8)) &&
        host_.fields().autoIncreaseCheckBox)
        advanceMac(mac);
}

void DownloadFlows::DownloadSerialNumber() {
    host_.readFields();
    auto bytes = std::make_shared<std::uint8_t[]>(4);
    StoreLe32(bytes.get(), host_.fields().serialNumber);
    host_.runSession(WithBytes(request(CMD_SERIAL_NUMBER), std::move(bytes), 4));
}

void DownloadFlows::DownloadMacAndSerial() {
    host_.readFields();
    const DownloaderFields& f = host_.fields();
    // A malformed MAC written into a unit corrupts its identity: refuse it here as
    // the MAC-only flow does.
    if (!IsValidMacText(f.macText)) {
        show(IDS_INVALID_MAC);
        return;
    }
    const MacAddress mac = ParseMacAddress(f.macText);
    auto bytes = MacPayload(mac, 12);
    StoreLe32(bytes.get() + 8, f.serialNumber);
    if (host_.runSession(WithBytes(request(CMD_MAC_AND_SERIAL), std::move(bytes), 12)) &&
        host_.fields().autoIncreaseCheckBox)
        advanceMac(mac);
}

}  // namespace imgdl
