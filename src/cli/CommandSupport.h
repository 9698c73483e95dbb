#pragma once
// What every command does alike when it refuses its input (exit 2).
#include <cstdio>
#include <string>

#include "CliArgs.h"
#include "Commands.h"
#include "res/StringTable.h"

namespace imgdl::cli {

inline int RefuseWith(const Console& c, const std::string& message) {
    std::fprintf(c.err, "imgdl: %s\n", message.c_str());
    return kExitRefused;
}

// The flows' own messages, as the dialog shows them, with no prefix.
inline int Refuse(const Console& c, int stringId) {
    std::fprintf(c.err, "%s\n", std::string(LoadString(stringId)).c_str());
    return kExitRefused;
}

}  // namespace imgdl::cli
