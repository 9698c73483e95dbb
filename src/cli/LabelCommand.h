#pragma once
// imgdl ledger label: a label for a unit the ledger knows, to a file or a printer.
#include <CLI/CLI.hpp>

#include "Commands.h"

namespace imgdl::cli {

void AddLabelCommand(CLI::App& ledger, Action& chosen);

}  // namespace imgdl::cli
