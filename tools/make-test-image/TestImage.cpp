#include "TestImage.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "StoredGzip.h"
#include "common/ByteOrder.h"
#include "download/ImageLayout.h"

namespace imgdl::testimage {
namespace {

void Fill(std::vector<std::uint8_t>& bytes, Filler filler) {
    if (filler == Filler::Zero) return;
    if (filler == Filler::Random) {
        std::mt19937 random(12345);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        // Keep '$' out of random filler so only the planted tag is found.
        std::replace(bytes.begin(), bytes.end(), std::uint8_t('$'), std::uint8_t('#'));
        return;
    }
    static constexpr char kLine[] = "firmware application text, lorem ipsum dolor sit amet\n";
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(kLine[i % (sizeof kLine - 1)]);
}

}  // namespace

std::vector<std::uint8_t> ApplicationContent(const ApplicationSpec& spec) {
    std::vector<std::uint8_t> content(spec.appSize);
    Fill(content, spec.filler);
    if (spec.tag && spec.tagOffset < content.size()) {
        const std::size_t n = std::min(spec.tag->size(), content.size() - spec.tagOffset);
        std::copy_n(spec.tag->begin(), n,
                    content.begin() + static_cast<std::ptrdiff_t>(spec.tagOffset));
    }
    return content;
}

std::vector<std::uint8_t> BuildApplicationImage(const ApplicationSpec& spec) {
    const std::vector<std::uint8_t> member =
        spec.member ? *spec.member : StoredGzip(ApplicationContent(spec));
    std::vector<std::uint8_t> image(kAppMemberOffset, 0xA5);
    std::fill_n(image.begin() + kAppHeaderOffset, kAppHeaderSize, std::uint8_t{0});
    StoreLe32(image.data() + kAppHeaderOffset, static_cast<std::uint32_t>(member.size()));
    image.insert(image.end(), member.begin(), member.end());
    image.insert(image.end(), spec.trailing, std::uint8_t{0xFF});
    return image;
}

std::vector<std::uint8_t> BuildIntegratedImage(const IntegratedSpec& spec) {
    std::vector<std::uint8_t> image(kIntegratedAppStart, 0x5A);
    StoreLe32(image.data() + kMacAddressOffset, spec.macHigh);
    StoreLe32(image.data() + kMacAddressOffset + 4, spec.macLow);
    StoreBe32(image.data() + kSerialNumberOffset, spec.serial);
    const auto app = BuildApplicationImage(spec.application);
    image.insert(image.end(), app.begin(), app.end());
    return image;
}

bool WriteFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
}

}  // namespace imgdl::testimage
