#include "app/InfoOptions.h"

#include <string_view>

#include "common/ProgramVersion.h"

namespace imgdl {
namespace {

constexpr std::string_view kUsage =
    "Usage: image-downloader [Qt options]\n"
    "       image-downloader --line [FILE] [Qt options]\n"
    "Writes firmware and PTZ images into a recorder over the local network, in a dialog.\n"
    "With --line, the production-line window runs the station of the station file FILE\n"
    "(asked for when not given) instead.\n"
    "\n"
    "Options:\n"
    "  --line       the production-line window\n"
    "  --help       print this help and exit\n"
    "  --version    print the program's version and exit\n"
    "The standard options of Qt applications (-platform NAME, -style NAME, ...) apply.\n";

}  // namespace

std::optional<int> AnswerInfoOption(std::span<char* const> arguments, std::ostream& out) {
    // The first argument is the program itself.
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            out << kUsage;
            return 0;
        }
        if (argument == "--version") {
            out << "image-downloader " << kProgramVersion << '\n';
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace imgdl
