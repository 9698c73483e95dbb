#include "CommandLine.h"

namespace imgdl::cli {

CLI::App& AddGroup(CLI::App& parent, const std::string& name, const char* usage, const char* noun) {
    CLI::App& group = *parent.add_subcommand(name);
    group.formatter(std::make_shared<CommandHelp>(usage, noun));
    // Exactly one command: once it is picked, later words are its own, even one
    // that spells the name of another command (a file called "list").
    group.require_subcommand(1, 1);
    return group;
}

CLI::App& AddLeaf(CLI::App& parent, const std::string& name) {
    CLI::App& leaf = *parent.add_subcommand(name);
    leaf.allow_extras(false);
    return leaf;
}

void OnParsed(CLI::App& leaf, Action& chosen, std::function<void()> settle, Action run) {
    leaf.callback([&chosen, settle = std::move(settle), run = std::move(run)] {
        if (settle) settle();
        chosen = run;
    });
}

void UsageError(const std::string& message) {
    throw CLI::ValidationError(message);
}

std::string HelpText(const CLI::App& app) {
    return app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
}

}  // namespace imgdl::cli
