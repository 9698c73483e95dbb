#include "ParseStop.h"

#include "CliArgs.h"
#include "CommandLine.h"
#include "common/ProgramVersion.h"

namespace imgdl::cli {
namespace {

// The commands the line picked, the program first.
std::vector<const CLI::App*> Picked(const CLI::App& main) {
    std::vector<const CLI::App*> chain{&main};
    while (!chain.back()->get_subcommands().empty())
        chain.push_back(chain.back()->get_subcommands().front());
    return chain;
}

// The command the help was asked of: the last one on the line given -h or --help.
const CLI::App* AskedForHelp(const std::vector<const CLI::App*>& chain,
                             const CLI::ParseError& stop) {
    const CLI::App* asked = dynamic_cast<const CLI::CallForHelp*>(&stop) ? chain.back() : nullptr;
    for (const CLI::App* app : chain)
        if (app->get_help_ptr() != nullptr && app->get_help_ptr()->count() > 0) asked = app;
    return asked;
}

// "send app", empty for the program itself.
std::string PathOf(const std::vector<const CLI::App*>& chain) {
    std::string path;
    for (std::size_t i = 1; i < chain.size(); ++i)
        path += (i > 1 ? " " : "") + chain[i]->get_name();
    return path;
}

std::vector<const CLI::App*> Commands(const CLI::App& group) {
    return group.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); });
}

// The first word the command could not place ("--" only ends its options).
std::string FirstStray(const CLI::App& app) {
    for (const std::string& word : app.remaining())
        if (word != "--") return word;
    return {};
}

// What is wrong with the line of a group that got no command of its own.
std::string GroupProblem(const CLI::App& group) {
    const auto* help = dynamic_cast<const CommandHelp*>(group.get_formatter().get());
    const std::string noun = help ? help->noun() : "command";
    if (const std::string stray = FirstStray(group); !stray.empty())
        return "unknown " + noun + " '" + stray + "'";
    const auto commands = Commands(group);
    std::string names;
    for (std::size_t i = 0; i < commands.size(); ++i)
        names += (i == 0 ? "" : i + 1 == commands.size() ? " or " : ", ") + commands[i]->get_name();
    return "missing " + noun + " (" + names + ")";
}

std::string Problem(const CLI::App& at, const CLI::ParseError& stop) {
    if (!Commands(at).empty() && at.get_subcommands().empty()) return GroupProblem(at);
    // A misspelt option is also why a required one seems missing: name the word typed.
    const bool stray = dynamic_cast<const CLI::ExtrasError*>(&stop) ||
                       dynamic_cast<const CLI::RequiredError*>(&stop);
    if (stray && !FirstStray(at).empty()) return "unexpected '" + FirstStray(at) + "'";
    return stop.what();
}

}  // namespace

int AnswerParseStop(const CLI::App& main, const CLI::ParseError& stop, const Console& c) {
    if (dynamic_cast<const CLI::CallForVersion*>(&stop)) {
        std::fprintf(c.out, "imgdl %s\n", kProgramVersion);
        return kExitOk;
    }
    const auto chain = Picked(main);
    // Help given before the error's place still counts: the person asked for it.
    if (const CLI::App* asked = AskedForHelp(chain, stop)) {
        std::fputs(HelpText(*asked).c_str(), c.out);
        return kExitOk;
    }
    const std::string path = PathOf(chain);
    std::fprintf(c.err, "imgdl: %s%s\n", path.empty() ? "" : (path + ": ").c_str(),
                 Problem(*chain.back(), stop).c_str());
    std::fputs(HelpText(*chain.back()).c_str(), c.err);
    return kExitUsage;
}

}  // namespace imgdl::cli
