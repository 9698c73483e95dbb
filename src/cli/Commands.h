#pragma once
// The subcommands of imgdl. Each returns the program's exit code.
#include <cstdio>
#include <string>
#include <vector>

namespace imgdl::cli {

struct Console {
    std::FILE* out = stdout;  // results
    std::FILE* err = stderr;  // messages
    bool terminal = false;    // err is a terminal: show a progress bar
};

int RunSend(const std::vector<std::string>& args, const Console& console);
int RunProbe(const std::vector<std::string>& args, const Console& console);
int RunPtz(const std::vector<std::string>& args, const Console& console);
int RunLedger(const std::vector<std::string>& args, const Console& console);
int RunProvision(const std::vector<std::string>& args, const Console& console);
int RunMain(const std::vector<std::string>& args, const Console& console);

}  // namespace imgdl::cli
