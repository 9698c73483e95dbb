#pragma once
// What imgdl answers when parsing its command line stopped before a command could run:
// the help asked for (standard output, exit 0), the version (exit 0), or a usage error
// on standard error followed by the usage of the command it was in (exit 1).
#include "Commands.h"

namespace CLI {
class ParseError;
}

namespace imgdl::cli {

int AnswerParseStop(const CLI::App& main, const CLI::ParseError& stop, const Console& c);

}  // namespace imgdl::cli
