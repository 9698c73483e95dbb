#include "line/LabelReprint.h"

#include <filesystem>

#include "labels/UnitLabels.h"

namespace imgdl::line {

Reprint ReprintLabel(ledger::Ledger& ledger, std::uint64_t mac,
                     const station::StationLabels& labels) {
    if (!labels.wanted()) return {{}, "the station has no label folder or printer"};
    auto rows = ledger.list();
    if (!rows.ok()) return {{}, rows.error().message};
    const auto& all = rows.value();
    // The newest done row of that MAC: its label count is the one the reprint goes on.
    const auto row = std::find_if(all.rbegin(), all.rend(), [mac](const ledger::UnitRecord& r) {
        return r.numbered && r.mac == mac && r.result == ledger::UnitResult::Done;
    });
    if (row == all.rend()) return {{}, "the ledger holds no done unit of that MAC"};
    labels::LabelOutput output{{}, labels.printer};
    if (!labels.folder.empty())
        output.file =
            (std::filesystem::path(labels.folder) / ("label-" + labels::BareMac(mac) + ".pdf"))
                .string();
    auto error =
        labels::MakeLabels(ledger, {*row}, {labels::LabelFor(*row, false)}, labels.layout, output);
    if (!error.empty()) return {{}, std::move(error)};
    std::string where = output.file;
    if (!output.printer.empty())
        where += (where.empty() ? "printer " : ", printer ") + output.printer;
    return {std::move(where), {}};
}

}  // namespace imgdl::line
