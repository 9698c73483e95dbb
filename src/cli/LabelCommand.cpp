// imgdl ledger label: the label of one unit (by MAC or serial) or of every unit done since
// a time, written to a file or sent to a printer.
#include "LabelCommand.h"

#include <charconv>
#include <cstdio>
#include <memory>

#include "CliArgs.h"
#include "CommandLine.h"
#include "CommandSupport.h"
#include "CommonOptions.h"
#include "common/UtcTime.h"
#include "labels/LabelRender.h"
#include "labels/UnitLabels.h"
#include "ledger/MacRange.h"

namespace imgdl::cli {
namespace {

using namespace imgdl::ledger;
using labels::LabelOutput;

constexpr int kExitOutputFailed = 3;  // the label could not be written or printed

struct LabelArgs {
    std::string location;
    std::string mac, serial, since;
    std::string layoutFile;
    LabelOutput output;
    bool force = false;
};

std::optional<std::uint32_t> ParseSerial(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The newest row of the unit that holds these numbers; released rows hold nothing.
const UnitRecord* UnitHolding(const std::vector<UnitRecord>& rows,
                              const std::function<bool(const UnitRecord&)>& matches) {
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (it->result != UnitResult::Released && matches(*it)) return &*it;
    return nullptr;
}

// The units the command line asks for, or a refusal.
std::variant<std::vector<UnitRecord>, std::string> ChooseUnits(const std::vector<UnitRecord>& rows,
                                                               const LabelArgs& a) {
    if (!a.since.empty()) {
        const WallTime since = *ParseIsoTime(a.since);
        std::vector<UnitRecord> done;
        for (const UnitRecord& u : rows)
            if (u.result == UnitResult::Done && u.numbered)  // a label shows the numbers
                if (const auto ended = ParseUtcText(u.ended); ended && *ended >= since)
                    done.push_back(u);
        return done;
    }
    const UnitRecord* unit = nullptr;
    std::string named;
    if (!a.mac.empty()) {
        const std::uint64_t mac = *ParseMac48(a.mac);
        named = "MAC " + FormatMac48(mac);
        unit = UnitHolding(rows, [mac](const UnitRecord& u) { return u.numbered && u.mac == mac; });
    } else {
        const std::uint32_t serial = *ParseSerial(a.serial);
        named = "serial " + a.serial;
        unit = UnitHolding(
            rows, [serial](const UnitRecord& u) { return u.numbered && u.serial == serial; });
    }
    if (!unit) return "no unit holds " + named;
    if (unit->result != UnitResult::Done && !a.force)
        return "unit " + FormatMac48(unit->mac) + " is " +
               std::string(UnitResultName(unit->result)) +
               ", not done: no label (--force makes one marked NOT DONE)";
    return std::vector<UnitRecord>{*unit};
}

int Label(Ledger& ledger, const LabelArgs& a, const Console& c) {
    labels::LabelLayout layout;
    if (!a.layoutFile.empty()) {
        auto read = labels::ReadLabelLayout(a.layoutFile);
        if (auto* e = std::get_if<labels::LayoutError>(&read)) return RefuseWith(c, e->message);
        layout = std::get<labels::LabelLayout>(read);
    }
    const auto rows = ledger.list();
    if (!rows.ok()) return RefuseWith(c, rows.error().message);
    auto chosen = ChooseUnits(rows.value(), a);
    if (auto* refusal = std::get_if<std::string>(&chosen)) return RefuseWith(c, *refusal);
    const auto& units = std::get<std::vector<UnitRecord>>(chosen);
    if (units.empty()) {
        std::fprintf(c.err, "imgdl: no unit was done since %s\n", a.since.c_str());
        return kExitOk;
    }
    // Without a destination every unit gets its own PDF here.
    const bool ownFiles = a.output.file.empty() && a.output.printer.empty();
    const std::size_t batches = ownFiles ? units.size() : 1;
    for (std::size_t b = 0; b < batches; ++b) {
        const std::vector<UnitRecord> batch = ownFiles ? std::vector<UnitRecord>{units[b]} : units;
        std::vector<labels::LabelData> content;
        for (const UnitRecord& u : batch)
            content.push_back(labels::LabelFor(u, u.result != UnitResult::Done));
        LabelOutput output = a.output;
        if (ownFiles) output.file = "label-" + labels::BareMac(batch.front().mac) + ".pdf";
        if (const std::string e = labels::MakeLabels(ledger, batch, content, layout, output);
            !e.empty()) {
            std::fprintf(c.err, "imgdl: %s\n", e.c_str());
            return kExitOutputFailed;
        }
        for (const UnitRecord& u : batch) {
            std::string where = output.file;
            if (!output.printer.empty())
                where += (where.empty() ? "" : " ") + std::string("printer ") + output.printer;
            std::fprintf(c.out, "%s %u %s\n", FormatMac48(u.mac).c_str(), u.serial, where.c_str());
        }
    }
    return kExitOk;
}

void CheckLine(const LabelArgs& a) {
    const int chosen = !a.mac.empty() + !a.serial.empty() + !a.since.empty();
    if (chosen != 1) UsageError("name one unit by MAC or --serial N, or a batch with --since T");
    if (!a.mac.empty() && !ParseMac48(a.mac))
        UsageError("'" + Printable(a.mac) + "' is not a MAC address (twelve hex digits)");
    if (!a.serial.empty() && !ParseSerial(a.serial))
        UsageError("--serial must be a serial number, got '" + Printable(a.serial) + "'");
    if (!a.since.empty() && !ParseIsoTime(a.since))
        UsageError("--since must be a time with its offset, as 2026-12-10T06:00:00+01:00, got '" +
                   Printable(a.since) + "'");
    if (!a.since.empty() && a.force) UsageError("--force is for one unit, not a batch");
    if (!a.output.file.empty()) {
        const auto format = labels::LabelFormatOf(a.output.file);
        if (!format) UsageError("--out must name a .pdf, .png or .svg file");
        if (!a.since.empty() && *format != labels::LabelFormat::Pdf)
            UsageError("a batch goes into one PDF: --out must name a .pdf file");
    }
}

}  // namespace

void AddLabelCommand(CLI::App& ledger, Action& chosen) {
    auto a = std::make_shared<LabelArgs>();
    CLI::App& leaf = AddLeaf(ledger, "label");
    AddLedgerOption(leaf, a->location);
    leaf.add_option("MAC", a->mac);
    leaf.add_option("--serial", a->serial)->type_name("N");
    leaf.add_option("--since", a->since)->type_name("T");
    leaf.add_option("--out", a->output.file)->type_name("FILE");
    leaf.add_option("--print", a->output.printer)->type_name("PRINTER");
    leaf.add_option("--layout", a->layoutFile)->type_name("FILE");
    leaf.add_flag("--force", a->force);
    OnParsed(
        leaf, chosen, [a] { CheckLine(*a); },
        [a](const Console& c) {
            LabelArgs args = *a;
            if (args.location.empty()) args.location = DefaultLedgerPath();
            auto opened = OpenLedger(args.location);
            if (!opened.ok()) return RefuseWith(c, opened.error().message);
            return Label(*opened.value(), args, c);
        });
}

}  // namespace imgdl::cli
