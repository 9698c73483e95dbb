#pragma once
// What every subcommand does alike: --help, usage errors (exit 1), refusals (exit 2).
#include <cstdio>
#include <string>
#include <vector>

#include "CliArgs.h"
#include "Commands.h"

namespace imgdl::cli {

inline bool WantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

// The usage on standard output when asked for, or after the error on standard error.
inline int Usage(const Console& c, const char* usage, const std::string& error = {}) {
    if (!error.empty()) std::fprintf(c.err, "imgdl: %s\n", error.c_str());
    std::fputs(usage, error.empty() ? c.out : c.err);
    return error.empty() ? kExitOk : kExitUsage;
}

inline int RefuseWith(const Console& c, const std::string& message) {
    std::fprintf(c.err, "imgdl: %s\n", message.c_str());
    return kExitRefused;
}

}  // namespace imgdl::cli
