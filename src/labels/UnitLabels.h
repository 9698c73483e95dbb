#pragma once
// From a unit's ledger row to its label, and out to a file or a printer; the ledger
// counts every label made, so that a second one says it is a reprint. Shared by
// imgdl ledger label and the station.
#include <string>
#include <vector>

#include "labels/LabelData.h"
#include "labels/LabelLayout.h"
#include "ledger/Ledger.h"

namespace imgdl::labels {

// What the label of `unit` says; `notDone` adds the unit's state as a mark.
LabelData LabelFor(const ledger::UnitRecord& unit, bool notDone);

// Where labels go: a file (its format by its extension) and/or a printer.
struct LabelOutput {
    std::string file;
    std::string printer;
};

// Renders `units` (one page each) and sends them out; on success every unit's label count
// goes up by one. An error message otherwise; nothing is counted then.
std::string MakeLabels(ledger::Ledger& ledger, const std::vector<ledger::UnitRecord>& units,
                       const std::vector<LabelData>& content, const LabelLayout& layout,
                       const LabelOutput& output);

// Writes `bytes` to `path` whole or not at all: through a new file beside it, renamed
// over it once written.
std::string WriteFileWhole(const std::string& path, const std::string& bytes);

}  // namespace imgdl::labels
