#pragma once
// How the commands of imgdl are declared on CLI11: a group picks one of its commands by
// the next word, a leaf takes options and arguments, and every command of a group shows
// the group's usage text for --help and after a usage error (exit 1).
#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "Commands.h"

namespace imgdl::cli {

// The usage text a group shows, and what it calls the word that picks one of its
// commands ("command", "kind").
class CommandHelp final : public CLI::FormatterBase {
  public:
    CommandHelp(const char* usage, const char* noun) : usage_(usage), noun_(noun) {}
    std::string make_help(const CLI::App*, std::string, CLI::AppFormatMode) const override {
        return usage_;
    }
    const char* noun() const { return noun_; }

  private:
    const char* usage_;
    const char* noun_;
};

// A group of commands under `parent`; its commands, added after it, share its help.
CLI::App& AddGroup(CLI::App& parent, const std::string& name, const char* usage,
                   const char* noun = "command");

// A command that takes options and arguments; anything else on its line is a usage error.
CLI::App& AddLeaf(CLI::App& parent, const std::string& name);

// When the whole line has parsed into `leaf`: `settle` may still refuse it with
// UsageError (what only the whole line shows), then `run` is the chosen action.
void OnParsed(CLI::App& leaf, Action& chosen, std::function<void()> settle, Action run);

// A usage error found in a value or the line as a whole; the text says what is wrong,
// without the command's name.
[[noreturn]] void UsageError(const std::string& message);

// The help text `app` shows.
std::string HelpText(const CLI::App& app);

}  // namespace imgdl::cli
