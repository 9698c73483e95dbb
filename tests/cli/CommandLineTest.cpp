// The command line as the code declares it, against what a person reads and what Tab
// offers: every option a command takes is named in its --help (the manual page test
// takes the options from there), and the completion offers exactly the options each
// command takes.
#include <gmock/gmock.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "CommandLine.h"

namespace imgdl::cli {
namespace {

struct Leaf {
    std::string path;  // "send app"
    const CLI::App* app;
};

void CollectLeaves(const CLI::App& app, const std::string& path, std::vector<Leaf>& out) {
    const auto subs =
        app.get_subcommands([](const CLI::App* s) { return !s->get_group().empty(); });
    if (subs.empty() && !path.empty()) out.push_back({path, &app});
    for (const CLI::App* sub : subs)
        CollectLeaves(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), out);
}

// Long and short option names, "--help" and "-h" left out.
std::set<std::string> OptionsOf(const CLI::App& leaf) {
    std::set<std::string> names;
    for (const CLI::Option* o : leaf.get_options()) {
        if (o == leaf.get_help_ptr() || o->get_positional()) continue;
        for (const auto& n : o->get_lnames()) names.insert("--" + n);
        for (const auto& n : o->get_snames()) names.insert("-" + n);
    }
    return names;
}

bool TakesArguments(const CLI::App& leaf) {
    return !leaf.get_options([](const CLI::Option* o) { return o->get_positional(); }).empty();
}

// What Tab offers after "imgdl PATH [FILE] -".
std::set<std::string> Offered(const Leaf& leaf) {
    const std::string words = "imgdl " + leaf.path + (TakesArguments(*leaf.app) ? " f" : "") + " -";
    const std::string script = "source '" IMGDL_COMPLETION_SCRIPT "'; COMP_WORDS=(" + words +
                               "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _imgdl; "
                               "printf '%s\\n' \"${COMPREPLY[@]}\"";
    // popen's shell hands the script to a bash of its own on standard input.
    const std::string command = "bash --norc --noprofile <<'EOF'\n" + script + "\nEOF\n";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::set<std::string> offered;
    char line[256];
    while (pipe && std::fgets(line, sizeof line, pipe.get()))
        if (std::string word(line, std::strcspn(line, "\n")); word != "--help")
            offered.insert(word);
    return offered;
}

class CommandLineTest : public testing::Test {
  protected:
    CommandLineTest() {
        BuildCommandLine(main_, chosen_);
        CollectLeaves(main_, "", leaves_);
    }
    CLI::App main_{"", "imgdl"};
    Action chosen_;
    std::vector<Leaf> leaves_;
};

TEST_F(CommandLineTest, EveryOptionIsInTheHelpOfItsCommand) {
    ASSERT_EQ(leaves_.size(),
              17u);  // probe, station, and the commands of send, ptz, ledger, provision
    for (const Leaf& leaf : leaves_) {
        const std::string help = HelpText(*leaf.app);
        EXPECT_THAT(help, testing::HasSubstr("imgdl " + leaf.path)) << leaf.path;
        for (const std::string& option : OptionsOf(*leaf.app))
            EXPECT_THAT(help, testing::HasSubstr(option)) << leaf.path;
    }
}

TEST_F(CommandLineTest, TheCompletionOffersTheOptionsEachCommandTakes) {
    // Taken for scripts that pass it to every send, offered only where it shows something.
    const std::set<std::pair<std::string, std::string>> notOffered = {
        {"send ptz", "--verbose"}, {"send identity", "--verbose"}};
    for (const Leaf& leaf : leaves_) {
        std::set<std::string> expected;
        for (const std::string& option : OptionsOf(*leaf.app))
            if (!notOffered.contains({leaf.path, option})) expected.insert(option);
        EXPECT_EQ(Offered(leaf), expected) << leaf.path;
    }
}

}  // namespace
}  // namespace imgdl::cli
