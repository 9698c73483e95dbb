#pragma once
// Application and integrated image files for tests and demos.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace imgdl::testimage {

enum class Filler { Zero, Text, Random };

struct ApplicationOptions {
    // Text placed in the expanded application, e.g. "$version: 1.2.3 $"; none: no tag.
    std::optional<std::string> tag = std::string("$version: 1.2.3 $");
    std::size_t appSize = 64 * 1024;  // bytes of the expanded application
    std::size_t tagOffset = 1000;     // where the tag starts in it
    Filler filler = Filler::Text;
    // The compressed application itself, when a test brings its own member
    // (another compressor, a corrupted one); the fields above are then not used.
    std::optional<std::vector<std::uint8_t>> member;
    std::size_t trailing = 0;  // bytes of 0xFF behind the member
};

// The expanded application the options describe.
std::vector<std::uint8_t> ApplicationContent(const ApplicationOptions& options);

// An application-only image: header at 0xCF80, gzip member at 0xD000.
std::vector<std::uint8_t> BuildApplicationImage(const ApplicationOptions& options);

struct IntegratedOptions {
    ApplicationOptions application;
    std::uint32_t macHigh = 0, macLow = 0;  // stored as two LE words at 0xFF80
    std::uint32_t serial = 0;               // stored as a BE word at 0xFF88
};

// An integrated image: 64 KiB identity section, then the application image.
std::vector<std::uint8_t> BuildIntegratedImage(const IntegratedOptions& options);

bool WriteFile(const std::string& path, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> ReadFile(const std::string& path);

}  // namespace imgdl::testimage
