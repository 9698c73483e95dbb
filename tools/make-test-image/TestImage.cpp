#include "TestImage.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "StoredGzip.h"
#include "common/ByteOrder.h"
#include "image/ImageLayout.h"

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

std::vector<std::uint8_t> ApplicationContent(const ApplicationOptions& options) {
    std::vector<std::uint8_t> content(options.appSize);
    Fill(content, options.filler);
    if (options.tag && options.tagOffset < content.size()) {
        const std::size_t n = std::min(options.tag->size(), content.size() - options.tagOffset);
        std::copy_n(options.tag->begin(), n,
                    content.begin() + static_cast<std::ptrdiff_t>(options.tagOffset));
    }
    return content;
}

std::vector<std::uint8_t> BuildApplicationImage(const ApplicationOptions& options) {
    const std::vector<std::uint8_t> member =
        options.member ? *options.member : StoredGzip(ApplicationContent(options));
    std::vector<std::uint8_t> image(kAppMemberOffset, 0xA5);
    std::fill_n(image.begin() + kAppHeaderOffset, kAppHeaderSize, std::uint8_t{0});
    StoreLe32(image.data() + kAppHeaderOffset, static_cast<std::uint32_t>(member.size()));
    image.insert(image.end(), member.begin(), member.end());
    image.insert(image.end(), options.trailing, std::uint8_t{0xFF});
    return image;
}

std::vector<std::uint8_t> BuildIntegratedImage(const IntegratedOptions& options) {
    std::vector<std::uint8_t> image(kIntegratedAppStart, 0x5A);
    StoreLe32(image.data() + kMacAddressOffset, options.macHigh);
    StoreLe32(image.data() + kMacAddressOffset + 4, options.macLow);
    StoreBe32(image.data() + kSerialNumberOffset, options.serial);
    const auto app = BuildApplicationImage(options.application);
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
