#pragma once
// The commands of imgdl. Each returns the program's exit code.
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace imgdl::cli {

struct Console {
    std::FILE* out = stdout;  // results
    std::FILE* err = stderr;  // messages
    bool terminal = false;    // err is a terminal: show a progress bar
};

// What the command line asked for, run once it has parsed whole.
using Action = std::function<int(const Console&)>;

// Each group of commands added to the program's command line; the command that parses
// sets `chosen`.
void AddProbeCommand(CLI::App& main, Action& chosen);
void AddSendCommands(CLI::App& main, Action& chosen);
void AddPtzCommands(CLI::App& main, Action& chosen);
void AddLedgerCommands(CLI::App& main, Action& chosen);
void AddProvisionCommands(CLI::App& main, Action& chosen);
void AddStationCommand(CLI::App& main, Action& chosen);

// The whole command line of imgdl, commands and --help and --version included; with
// `first` naming a command, only that command's group.
void BuildCommandLine(CLI::App& main, Action& chosen, std::string_view first = {});

// Runs imgdl with the words after the program's name.
int RunMain(const std::vector<std::string>& args, const Console& console);

}  // namespace imgdl::cli
