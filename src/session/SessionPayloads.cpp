#include "session/SessionPayloads.h"

#include <algorithm>

#include "common/ByteOrder.h"
#include "common/ByteReader.h"
#include "session/DownloadProtocol.h"

namespace imgdl {

std::array<std::uint8_t, kVersionPayloadSize> EncodeVersionPayload(std::uint32_t version) {
    std::array<std::uint8_t, kVersionPayloadSize> bytes{};
    StoreLe32(bytes.data(), version);
    return bytes;
}

std::array<std::uint8_t, kMacPayloadSize> EncodeMacPayload(const MacAddress& mac) {
    std::array<std::uint8_t, kMacPayloadSize> bytes{};
    StoreBe32(bytes.data(), mac.high);
    StoreBe32(bytes.data() + 4, mac.low);
    return bytes;
}

std::array<std::uint8_t, kSerialPayloadSize> EncodeSerialPayload(std::uint32_t serial) {
    std::array<std::uint8_t, kSerialPayloadSize> bytes{};
    StoreLe32(bytes.data(), serial);
    return bytes;
}

std::array<std::uint8_t, kMacAndSerialPayloadSize> EncodeMacAndSerialPayload(const MacAddress& mac,
                                                                             std::uint32_t serial) {
    std::array<std::uint8_t, kMacAndSerialPayloadSize> bytes{};
    const auto macBytes = EncodeMacPayload(mac);
    const auto serialBytes = EncodeSerialPayload(serial);
    std::copy(macBytes.begin(), macBytes.end(), bytes.begin());
    std::copy(serialBytes.begin(), serialBytes.end(), bytes.begin() + kMacPayloadSize);
    return bytes;
}

SessionPayloadFields DecodeSessionPayload(std::uint32_t command, std::span<const std::uint8_t> p) {
    SessionPayloadFields fields;
    ByteReader reader(p);
    if (command == CMD_FIRMWARE_VERSION && p.size() == kVersionPayloadSize)
        fields.version = reader.le32();
    if (command == CMD_MAC_ADDRESS || command == CMD_MAC_AND_SERIAL) {
        const auto high = reader.be32();
        const auto low = reader.be32();
        if (high && low) fields.mac = MacAddress{*high, *low};
    }
    // The serial is read only from a payload of exactly its command's size.
    const std::size_t size =
        command == CMD_MAC_AND_SERIAL ? kMacAndSerialPayloadSize : kSerialPayloadSize;
    if ((command == CMD_SERIAL_NUMBER || command == CMD_MAC_AND_SERIAL) && p.size() == size)
        fields.serial = reader.le32();
    return fields;
}

std::string FormatVersion(std::uint32_t v) {
    return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." +
           std::to_string((v >> 8) & 0xFF);
}

SessionPayloadTexts DescribeSessionPayload(std::uint32_t command,
                                           std::span<const std::uint8_t> payload) {
    const SessionPayloadFields fields = DecodeSessionPayload(command, payload);
    SessionPayloadTexts texts;
    if (fields.version) texts.version = FormatVersion(*fields.version);
    if (fields.mac) texts.mac = FormatMacAddress(*fields.mac);
    if (fields.serial) texts.serial = std::to_string(*fields.serial);
    return texts;
}

}  // namespace imgdl
