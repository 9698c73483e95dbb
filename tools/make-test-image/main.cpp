// make-test-image: writes an application or integrated image file for tests and demos.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TestImage.h"
#include "common/ProgramVersion.h"
#include "session/MacAddress.h"

namespace {

using namespace imgdl::testimage;

constexpr const char* kUsage =
    "usage: make-test-image -o FILE [options]\n"
    "  --firmware-version X.Y.Z\n"
    "                      version tag \"$version: X.Y.Z $\" (default 1.2.3)\n"
    "  --tag TEXT          any tag text instead, e.g. '$version:1.2.3'\n"
    "  --no-version        no tag at all\n"
    "  --app-size N        bytes of the expanded application (default 65536)\n"
    "  --tag-offset N      where the tag stands in the application (default 1000)\n"
    "  --filler KIND       zero, text or random (default text)\n"
    "  --trailing N        bytes of filler behind the compressed application\n"
    "  --member FILE       a gzip file (e.g. from gzip -9) as the compressed application\n"
    "  --integrated        write an integrated image (identity section first)\n"
    "  --mac HEX12         MAC address stored in the integrated image\n"
    "  --serial N          serial number stored in the integrated image\n"
    "  --version           print this program's version\n";

bool ParseMac(const char* text, IntegratedOptions& options) {
    if (!imgdl::IsValidMacText(text)) return false;
    const imgdl::MacAddress mac = imgdl::ParseMacAddress(text);
    options.macHigh = mac.high;
    options.macLow = mac.low;
    return true;
}

bool ParseFiller(const std::string& kind, Filler& filler) {
    if (kind == "zero")
        filler = Filler::Zero;
    else if (kind == "text")
        filler = Filler::Text;
    else if (kind == "random")
        filler = Filler::Random;
    else
        return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    IntegratedOptions options;
    ApplicationOptions& app = options.application;
    std::string output;
    bool integrated = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("make-test-image %s\n", imgdl::kProgramVersion);
            return 0;
        } else if (arg == "--integrated") {
            integrated = true;
        } else if (arg == "--no-version") {
            app.tag.reset();
        } else if (!hasValue) {
            std::fprintf(stderr, "make-test-image: %s needs a value or is unknown\n%s", arg.c_str(),
                         kUsage);
            return 1;
        } else if (arg == "-o") {
            output = argv[++i];
        } else if (arg == "--firmware-version") {
            app.tag = std::string("$version: ") + argv[++i] + " $";
        } else if (arg == "--member") {
            app.member = ReadFile(argv[++i]);
            if (app.member->empty()) {
                std::fprintf(stderr, "make-test-image: cannot read %s\n", argv[i]);
                return 1;
            }
        } else if (arg == "--tag") {
            app.tag = argv[++i];
        } else if (arg == "--app-size") {
            app.appSize = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--tag-offset") {
            app.tagOffset = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--trailing") {
            app.trailing = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--serial") {
            options.serial = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--filler" && ParseFiller(argv[i + 1], app.filler)) {
            ++i;
        } else if (arg == "--mac" && ParseMac(argv[i + 1], options)) {
            ++i;
        } else {
            std::fprintf(stderr, "make-test-image: bad option %s\n%s", arg.c_str(), kUsage);
            return 1;
        }
    }
    if (output.empty()) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const auto image = integrated ? BuildIntegratedImage(options) : BuildApplicationImage(app);
    if (!WriteFile(output, image)) {
        std::fprintf(stderr, "make-test-image: cannot write %s\n", output.c_str());
        return 2;
    }
    std::printf("%s: %zu bytes\n", output.c_str(), image.size());
    return 0;
}
