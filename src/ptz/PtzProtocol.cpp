#include "ptz/PtzProtocol.h"

#include <cstdio>
#include <cstring>
#include <type_traits>

#include "common/ByteOrder.h"

namespace imgdl {

static_assert(std::is_trivially_copyable_v<PtzProtocol>);
static_assert(std::is_standard_layout_v<PtzProtocol>);

PtzProtocol PtzProtocol::FromBytes(std::span<const std::uint8_t, kSize> bytes) {
    // Bytes and byte arrays are copied as they lie; the two integers are decoded
    // explicitly so a big-endian host reads the same values.
    PtzProtocol record;
    std::memcpy(&record, bytes.data(), kSize);
    record.number = static_cast<std::int32_t>(LoadLe32(bytes.data() + ptz_layout::kNumber));
    record.baudRate = static_cast<std::int32_t>(LoadLe32(bytes.data() + ptz_layout::kBaudRate));
    return record;
}

void PtzProtocol::ToBytes(std::span<std::uint8_t, kSize> bytes) const {
    std::memcpy(bytes.data(), this, kSize);
    StoreLe32(bytes.data() + ptz_layout::kNumber, static_cast<std::uint32_t>(number));
    StoreLe32(bytes.data() + ptz_layout::kBaudRate, static_cast<std::uint32_t>(baudRate));
}

void PtzProtocol::ZeroFill() {
    *this = PtzProtocol{};
}

PtzProtocol PtzProtocol::MakeNew(std::int32_t number) {
    PtzProtocol record;
    record.number = number;
    char text[64];
    std::snprintf(text, sizeof text, "New PTZ Protocol(%d)", static_cast<int>(number));
    record.SetName(text);
    return record;
}

std::string PtzProtocol::GetName() const {
    std::size_t length = 0;
    while (length < name.size() && name[length] != '\0') ++length;
    return std::string(name.data(), length);
}

void PtzProtocol::SetName(std::string_view text) {
    constexpr std::size_t kMaxChars = kPtzNameSize - 1;
    std::size_t i = 0;
    for (; i < kMaxChars && i < text.size() && text[i] != '\0'; ++i) name[i] = text[i];
    for (; i < kMaxChars; ++i) name[i] = '\0';
}

std::string_view PtzCommandName(int index) {
    if (index < 0 || index >= kPtzCommandCount) return {};
    return kPtzCommandNames[static_cast<std::size_t>(index)];
}

int ParityToPosition(std::uint8_t stored) {
    switch (stored) {
        case 1:
            return 1;
        case 3:
            return 2;
        default:
            return 0;
    }
}

int DataBitsToPosition(std::uint8_t stored) {
    return stored <= 3 ? stored : 0;
}
int StopBitsToPosition(std::uint8_t stored) {
    return stored <= 1 ? stored : 0;
}
int EnableToPosition(std::uint8_t stored) {
    return stored;
}

std::uint8_t ParityFromPosition(int position) {
    return position == 2 ? std::uint8_t{3} : static_cast<std::uint8_t>(position);
}
std::uint8_t DataBitsFromPosition(int position) {
    return static_cast<std::uint8_t>(position);
}
std::uint8_t StopBitsFromPosition(int position) {
    return static_cast<std::uint8_t>(position);
}
std::uint8_t EnableFromPosition(int position) {
    return static_cast<std::uint8_t>(position);
}

}  // namespace imgdl
