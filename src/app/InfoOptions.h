#pragma once
// --help and --version: answered on the terminal before any window (or display) is needed.
#include <optional>
#include <ostream>
#include <span>

namespace imgdl {

// The exit status when the arguments ask only for information (which is then printed to
// `out`), or nothing when the dialog is to run.
std::optional<int> AnswerInfoOption(std::span<char* const> arguments, std::ostream& out);

}  // namespace imgdl
