// imgdl ledger report: units, rate, times and failures of a window of the ledger, as a
// summary, JSON, CSV, and a chart of every hour as SVG.
#include "ReportCommand.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "CommandSupport.h"
#include "CommonOptions.h"
#include "JsonOutput.h"
#include "ReportFormats.h"
#include "ledger/Ledger.h"
#include "report/ShiftChart.h"
#include "report/ShiftReport.h"

namespace imgdl::cli {
namespace {

using report::Instant;

constexpr const char* kReportUsage =
    "usage: imgdl ledger report [--ledger L] [--since T] [--until T] [--station S]\n"
    "                           [--json | --csv] [--svg FILE]\n"
    "The shift at a glance: units done, uncertain and void (each MAC once, by its newest\n"
    "row), attempts released, units per hour, the median and slowest time per unit,\n"
    "failures by cause; the same per station and per port. T is a local time with its\n"
    "offset, e.g. 2026-12-10T06:00:00+01:00 (or ...Z for UTC); the window is [since,\n"
    "until), by default the 12 hours before now, at most 366 days. --station S counts\n"
    "only S's rows.\n"
    "--json prints one JSON object, --csv one line per scope (total, station, port,\n"
    "hour). --svg FILE also writes a chart of units done and failures per hour.\n"
    "Exit: 0 done, 1 usage, 2 refused.\n";

constexpr Instant kDefaultWindow = 12 * report::kSecondsPerHour;
constexpr Instant kLongestWindow = 366 * 24 * report::kSecondsPerHour;

struct ReportArgs {
    std::string location;
    std::string since, until, station, svg;
    bool json = false, csv = false;
    // Read from the texts once the line has parsed.
    Instant from = 0, to = 0;
};

Instant ParseTimeOption(const char* name, const std::string& text) {
    const auto t = report::ParseIsoTime(text);
    if (!t)
        UsageError(std::string(name) + ": '" + Printable(text) +
                   "' is not a time with its offset, e.g. 2026-12-10T06:00:00+01:00");
    return *t;
}

void ReadWindow(ReportArgs& a) {
    // The ledger's times are whole seconds: by default the window ends after the current
    // one, so that a unit that ended a moment ago is in it.
    a.to = a.until.empty() ? static_cast<Instant>(std::time(nullptr)) + 1
                           : ParseTimeOption("--until", a.until);
    a.from = a.since.empty() ? a.to - kDefaultWindow : ParseTimeOption("--since", a.since);
    if (a.from >= a.to) UsageError("--since must be before --until");
    // A count per hour of decades (a mistyped year) is no report a person reads.
    if (a.to - a.from > kLongestWindow)
        UsageError("--since and --until are more than 366 days apart");
}

// "45 s", "3 min 05 s", "2 h 07 min".
std::string Duration(double seconds) {
    const auto s = static_cast<long long>(std::llround(seconds));
    char text[64];
    if (s < 60)
        std::snprintf(text, sizeof text, "%lld s", s);
    else if (s < 3600)
        std::snprintf(text, sizeof text, "%lld min %02lld s", s / 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld h %02lld min", s / 3600, s % 3600 / 60);
    return text;
}

std::string Failures(const report::ShiftFigures& f) {
    if (f.failures == 0) return "none";
    std::string text = std::to_string(f.failures) + " (";
    bool first = true;
    for (const auto& [cause, count] : f.failuresByCause) {
        text += (first ? "" : ", ") + cause + " " + std::to_string(count);
        first = false;
    }
    return text + ")";
}

std::string Units(const report::ShiftFigures& f) {
    return "done " + std::to_string(f.done) + ", uncertain " + std::to_string(f.uncertain) +
           ", void " + std::to_string(f.voided) + "; attempts released " +
           std::to_string(f.released);
}

std::string Times(const report::ShiftFigures& f) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", f.unitsPerHour);
    std::string text = std::string(rate) + " units per hour; time per unit: ";
    if (!f.medianSeconds) return text + "none done";
    return text + "median " + Duration(*f.medianSeconds) + ", slowest " +
           Duration(static_cast<double>(*f.slowestSeconds));
}

void PrintScope(std::FILE* out, const std::string& indent, const report::ShiftFigures& f) {
    std::fprintf(out, "%sunits: %s\n", indent.c_str(), Units(f).c_str());
    std::fprintf(out, "%srate: %s\n", indent.c_str(), Times(f).c_str());
    std::fprintf(out, "%sfailures: %s\n", indent.c_str(), Failures(f).c_str());
}

void PrintSummary(std::FILE* out, const report::ShiftReport& r) {
    const std::string station = r.station.empty() ? "" : ", station " + r.station;
    std::fprintf(out, "shift: %s to %s (%.1f h)%s\n", report::FormatLocalTime(r.since).c_str(),
                 report::FormatLocalTime(r.until).c_str(),
                 static_cast<double>(r.until - r.since) / report::kSecondsPerHour, station.c_str());
    PrintScope(out, "", r.total);
    for (const auto& s : r.stations) {
        std::fprintf(out, "station %s\n", s.station.c_str());
        PrintScope(out, "  ", s.figures);
        for (const auto& p : r.ports) {
            if (p.station != s.station) continue;
            std::fprintf(out, "  port %s\n", p.port.c_str());
            PrintScope(out, "    ", p.figures);
        }
    }
}

bool WriteFile(const std::string& path, const std::string& text, std::string& why) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "w"),
                                                               std::fclose);
    if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fflush(file.get()) != 0) {
        why = std::strerror(errno);
        return false;
    }
    return true;
}

int Report(const ReportArgs& a, const Console& c) {
    const std::string location = a.location.empty() ? ledger::DefaultLedgerPath() : a.location;
    auto opened = ledger::OpenLedger(location);
    if (!opened.ok()) return RefuseWith(c, opened.error().message);
    const auto rows = opened.value()->list();
    if (!rows.ok()) return RefuseWith(c, rows.error().message);
    const report::ShiftReport r = report::BuildShiftReport(rows.value(), a.from, a.to, a.station);
    // The chart first: a refusal leaves standard output empty.
    if (std::string why; !a.svg.empty() && !WriteFile(a.svg, report::ShiftChartSvg(r), why))
        return RefuseWith(c, "cannot write " + Printable(a.svg) + ": " + why);
    if (a.json)
        PrintJson(c.out, ShiftReportJson(r));
    else if (a.csv)
        std::fputs(ShiftReportCsv(r).c_str(), c.out);
    else
        PrintSummary(c.out, r);
    return kExitOk;
}

}  // namespace

void AddLedgerReportCommand(CLI::App& ledger, Action& chosen) {
    auto a = std::make_shared<ReportArgs>();
    CLI::App& leaf = AddLeaf(ledger, "report");
    leaf.formatter(std::make_shared<CommandHelp>(kReportUsage, "command"));
    AddLedgerOption(leaf, a->location);
    leaf.add_option("--since", a->since)->type_name("T");
    leaf.add_option("--until", a->until)->type_name("T");
    leaf.add_option("--station", a->station)->type_name("S");
    leaf.add_option("--svg", a->svg)->type_name("FILE");
    CLI::Option* csv = leaf.add_flag("--csv", a->csv);
    leaf.add_flag("--json", a->json)->excludes(csv);
    OnParsed(
        leaf, chosen, [a] { ReadWindow(*a); }, [a](const Console& c) { return Report(*a, c); });
}

}  // namespace imgdl::cli
