#pragma once
// image-downloader --line [FILE]: the production-line window instead of the main dialog.
#include <optional>
#include <span>
#include <string>

namespace imgdl {
class DialogService;
}

namespace imgdl::line {

// The station file given after --line (empty when none is); nothing when the arguments
// do not ask for the line window.
std::optional<std::string> LineArgument(std::span<char* const> arguments);

// Runs the station of `file` (asked for when empty) in the line window until the window
// closes; the program's exit status.
int RunLineWindow(std::string file, DialogService& service);

}  // namespace imgdl::line
