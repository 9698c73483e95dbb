// The command line of imgdl as a whole: its commands, --help, --version, and what a
// line that does not parse answers.
#include "Commands.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "CliArgs.h"
#include "CommandLine.h"
#include "ParseStop.h"

namespace imgdl::cli {
namespace {

constexpr const char* kMainUsage =
    "usage: imgdl COMMAND ...\n"
    "  probe [--integrated] [--verbose] [--json] FILE\n"
    "                                 print the firmware version an image carries\n"
    "  send KIND ... --target HOST[:PORT]\n"
    "                                 write an image or identity into a recorder\n"
    "  ptz list|verify|build ...      PTZ databases (.pdb) and images (.bin)\n"
    "  ledger init|status|list ...    the MAC and serial number ledger of a line\n"
    "  provision integrated|identity ... --target HOST[:PORT]...\n"
    "                                 write the ledger's next identities into units\n"
    "  station --port NAME=ADDRESS... --recipe app|integrated|identity|app+identity ...\n"
    "                                 provision every unit plugged into a station's ports\n"
    "  --version                      print the program's version\n"
    "Run 'imgdl COMMAND --help' for the options of a command.\n";

int PrintMainUsage(const Console& c) {
    std::fputs(kMainUsage, c.out);
    return kExitOk;
}

}  // namespace

namespace {

struct CommandGroup {
    std::string_view word;
    void (*add)(CLI::App&, Action&);
};
constexpr CommandGroup kGroups[] = {{"probe", AddProbeCommand},
                                    {"send", AddSendCommands},
                                    {"ptz", AddPtzCommands},
                                    {"ledger", AddLedgerCommands},
                                    {"provision", AddProvisionCommands},
                                    {"station", AddStationCommand}};

}  // namespace

void BuildCommandLine(CLI::App& main, Action& chosen, std::string_view first) {
    main.formatter(std::make_shared<CommandHelp>(kMainUsage, "command"));
    main.require_subcommand(1, 1);
    // Flags are given bare: "--json=false" is a usage error, not a quiet "no". Of an
    // option given twice, the last counts.
    main.option_defaults()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->disable_flag_override();
    main.add_flag_callback("--version", [] { throw CLI::CallForVersion(); })->trigger_on_parse();
    // A line that starts with a command needs only that command's group: once a
    // command is picked, the words after it are its own. Building the other
    // groups would cost every run of the program, a probe included, more than
    // parsing does.
    const auto named = std::find_if(std::begin(kGroups), std::end(kGroups),
                                    [first](const CommandGroup& g) { return g.word == first; });
    for (const CommandGroup& group : kGroups)
        if (named == std::end(kGroups) || &group == named) group.add(main, chosen);
    if (named != std::end(kGroups)) return;
    // "imgdl help" reads as "imgdl --help"; not offered among the commands.
    CLI::App& help = *main.add_subcommand("help")->group("")->allow_extras();
    OnParsed(help, chosen, nullptr, PrintMainUsage);
}

int RunMain(const std::vector<std::string>& args, const Console& c) {
    CLI::App main("", "imgdl");
    Action chosen;
    BuildCommandLine(main, chosen, args.empty() ? std::string_view{} : args.front());
    try {
        main.parse(std::vector<std::string>(args.rbegin(), args.rend()));  // CLI11 pops words
    } catch (const CLI::ParseError& stop) {
        return AnswerParseStop(main, stop, c);
    }
    return chosen(c);
}

}  // namespace imgdl::cli
