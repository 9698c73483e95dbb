#include "labels/LabelData.h"

namespace imgdl::labels {

std::string BareMac(std::uint64_t mac) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text(12, '0');
    for (int i = 11; i >= 0; --i, mac >>= 4) text[static_cast<std::size_t>(i)] = kHex[mac & 0xF];
    return text;
}

std::string ColonMac(std::uint64_t mac) {
    const std::string bare = BareMac(mac);
    std::string text;
    for (std::size_t i = 0; i < bare.size(); i += 2) {
        if (i) text += ':';
        text += bare.substr(i, 2);
    }
    return text;
}

std::string QrText(const LabelData& label) {
    return "MAC=" + BareMac(label.mac) + ";SN=" + std::to_string(label.serial);
}

}  // namespace imgdl::labels
