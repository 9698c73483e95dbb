// imgdl ledger: create a line's MAC and serial ledger, show how much of it is left, list
// what every unit received.
#include <cinttypes>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "CommandSupport.h"
#include "CommonOptions.h"
#include "JsonOutput.h"
#include "LabelCommand.h"
#include "LedgerJson.h"
#include "ReportCommand.h"
#include "ledger/Ledger.h"
#include "ledger/MacRange.h"
#include "ledger/RedactUri.h"

namespace imgdl::cli {
namespace {

using namespace imgdl::ledger;

constexpr const char* kLedgerUsage =
    "usage: imgdl ledger init   [--ledger L] --mac-first HEX12 --mac-last HEX12 --serial-first N\n"
    "       imgdl ledger status [--ledger L] [--json]\n"
    "       imgdl ledger list   [--ledger L] [--csv | --json]\n"
    "       imgdl ledger settle [--ledger L] [--json]\n"
    "       imgdl ledger settle MAC --as done|void|released --note TEXT [--ledger L]\n"
    "       imgdl ledger label  MAC|--serial N|--since T [--out FILE] [--print PRINTER]\n"
    "                           [--layout FILE] [--force] [--ledger L]\n"
    "       imgdl ledger report [--ledger L] [--since T] [--until T] [--station S]\n"
    "                           [--json | --csv] [--svg FILE]\n"
    "L is an SQLite file or a postgresql:// URI (passwords best kept in ~/.pgpass); by\n"
    "default $XDG_DATA_HOME/imgdl/ledger.sqlite. status warns on standard error when less\n"
    "than a tenth of the range is left. --json prints status as one JSON object and list as\n"
    "one JSON object per unit and line (empty texts null); a refusal prints nothing on\n"
    "standard output. settle lists the units left allocated or uncertain (a run that was\n"
    "killed, a ledger that failed mid-unit); with a MAC it records what a person found on\n"
    "looking at the unit: done (it holds its identity), void (its numbers are never used\n"
    "again) or released (only for allocated: it never received anything), kept in the\n"
    "unit's history with the user, the station, the time and the note.\n"
    "label makes the label of a done unit (its MAC, serial, firmware version and date, a\n"
    "Code 128 of the MAC and a QR code) as FILE (.pdf, .png or .svg) and/or on a CUPS\n"
    "PRINTER; with neither, label-MAC.pdf here. --since T (2026-12-10T06:00:00+01:00) takes\n"
    "every unit done since then, as one PDF or print job. A unit not done gets a label only\n"
    "with --force, marked NOT DONE; a second label of a unit is marked REPRINT n.\n"
    "Exit: 0 done, 1 usage, 2 refused, 3 the label could not be written or printed.\n";

struct LedgerArgs {
    std::string location;
    std::string macFirst, macLast, serialFirst;
    bool csv = false;
    bool json = false;
    std::string mac, as, note;  // settle
};

// Decimal digits only; what does not fit 64 bits reads as too big for any serial.
std::optional<std::uint64_t> ParseSerialFirst(const std::string& text) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (const char ch : text) {
        if (ch < '0' || ch > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(ch - '0');
    }
    return value;
}

int Init(Ledger& ledger, const LedgerArgs& a, const Console& c) {
    const auto serial = ParseSerialFirst(a.serialFirst);
    if (!serial) return RefuseWith(c, "--serial-first must be an unsigned decimal number");
    if (const LedgerError e = ledger.init(a.macFirst, a.macLast, *serial); e.failed())
        return RefuseWith(c, e.message);
    std::fprintf(c.out, "ledger created: %s\n", RedactUri(a.location).c_str());
    return kExitOk;
}

void WarnWhenLow(const LedgerStatus& s, const Console& c) {
    if (s.low)
        std::fprintf(c.err, "imgdl: warning: only %" PRIu64 " of %" PRIu64 " left in the ledger\n",
                     s.free, s.size);
}

int Status(Ledger& ledger, const LedgerArgs& a, const Console& c) {
    const auto result = ledger.status();
    if (!result.ok()) return RefuseWith(c, result.error().message);
    const LedgerStatus& s = result.value();
    if (a.json) {
        PrintJson(c.out, LedgerStatusJson(s, RedactUri(a.location)));
        WarnWhenLow(s, c);
        return kExitOk;
    }
    const auto serialLast = s.serialFirst + (s.size - 1);
    std::fprintf(c.out, "ledger: %s\n", RedactUri(a.location).c_str());
    std::fprintf(c.out, "range: %s-%s, serial %" PRIu32 "-%" PRIu64 ", %" PRIu64 " units\n",
                 FormatMac48(s.macFirst).c_str(), FormatMac48(s.macLast).c_str(), s.serialFirst,
                 serialLast, s.size);
    std::fprintf(c.out,
                 "used: %" PRIu64 " (done %" PRIu64 ", failed %" PRIu64 ", uncertain %" PRIu64
                 ", allocated %" PRIu64 "), released %" PRIu64 "\n",
                 s.used, s.done, s.failed, s.uncertain, s.allocated, s.released);
    std::fprintf(c.out, "free: %" PRIu64 "\n", s.free);
    if (s.unnumbered)
        std::fprintf(c.out, "units without numbers (an image alone): %" PRIu64 "\n", s.unnumbered);
    if (s.exhausted)
        std::fprintf(c.out, "next: none, the range is used up\n");
    else
        std::fprintf(c.out, "next: MAC %s serial %" PRIu32 "\n", FormatMac48(s.nextMac).c_str(),
                     s.nextSerial);
    WarnWhenLow(s, c);
    return kExitOk;
}

std::string OrDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

// RFC 4180: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char ch : text) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return quoted + "\"";
}

void PrintRow(const UnitRecord& u, bool csv, std::FILE* out) {
    // A unit sent an image alone has no numbers: "-" in the table, empty in CSV.
    const std::string none = csv ? "" : "-";
    const std::string mac = u.numbered ? FormatMac48(u.mac) : none;
    const std::string serial = u.numbered ? std::to_string(u.serial) : none;
    const std::string result(UnitResultName(u.result));
    if (!csv) {
        std::fprintf(out, "%s %s %s %s %s %s %s %s %s %s\n", mac.c_str(), serial.c_str(),
                     result.c_str(), u.target.c_str(), u.kind.c_str(),
                     OrDash(u.imageVersion).c_str(), u.started.c_str(), OrDash(u.ended).c_str(),
                     OrDash(u.station).c_str(), OrDash(u.message).c_str());
        return;
    }
    const std::string fields[] = {std::to_string(u.id),
                                  mac,
                                  serial,
                                  result,
                                  u.target,
                                  u.kind,
                                  u.imageSha256,
                                  u.imageVersion,
                                  u.started,
                                  u.ended,
                                  u.station,
                                  u.message,
                                  u.cause,
                                  u.port,
                                  u.found,
                                  std::to_string(u.labelPrints)};
    std::string line;
    for (const auto& f : fields) line += (line.empty() ? "" : ",") + CsvField(f);
    std::fprintf(out, "%s\n", line.c_str());
}

int List(Ledger& ledger, const LedgerArgs& a, const Console& c) {
    const auto result = ledger.list();
    if (!result.ok()) return RefuseWith(c, result.error().message);
    if (a.csv)
        std::fprintf(c.out,
                     "id,mac,serial,result,target,kind,image_sha256,image_version,started,ended,"
                     "station,message,cause,port,found,label_prints\n");
    for (const UnitRecord& u : result.value()) {
        if (a.json)
            PrintJson(c.out, UnitRecordJson(u));
        else
            PrintRow(u, a.csv, c.out);
    }
    return kExitOk;
}

// Without a MAC: the units waiting for a person's decision. With one: the decision.
int Settle(Ledger& ledger, const LedgerArgs& a, const Console& c) {
    if (a.mac.empty()) {
        const auto result = ledger.list();
        if (!result.ok()) return RefuseWith(c, result.error().message);
        for (const UnitRecord& u : result.value()) {
            if (u.result != UnitResult::Allocated && u.result != UnitResult::Uncertain) continue;
            if (a.json)
                PrintJson(c.out, UnitRecordJson(u));
            else
                PrintRow(u, false, c.out);
        }
        return kExitOk;
    }
    const auto mac = ParseMac48(a.mac);
    if (!mac) return RefuseWith(c, "'" + Printable(a.mac) + "' is not a MAC address");
    const SettleAs as = a.as == "done"   ? SettleAs::Done
                        : a.as == "void" ? SettleAs::Void
                                         : SettleAs::Released;
    if (const LedgerError e = ledger.settle(*mac, as, a.note, {}); e.failed())
        return RefuseWith(c, e.message);
    std::fprintf(c.out, "%s %s\n", FormatMac48(*mac).c_str(), a.as.c_str());
    return kExitOk;
}

// Opens the ledger, the default one when none was given, and runs `command` on it.
int WithLedger(const LedgerArgs& a, const Console& c,
               int (*command)(Ledger&, const LedgerArgs&, const Console&)) {
    LedgerArgs args = a;
    if (args.location.empty()) args.location = DefaultLedgerPath();
    auto opened = OpenLedger(args.location);
    if (!opened.ok()) return RefuseWith(c, opened.error().message);
    return command(*opened.value(), args, c);
}

CLI::App& AddLedgerLeaf(CLI::App& ledger, const std::string& name, Action& chosen,
                        int (*command)(Ledger&, const LedgerArgs&, const Console&),
                        const std::shared_ptr<LedgerArgs>& a,
                        std::function<void()> check = nullptr) {
    CLI::App& leaf = AddLeaf(ledger, name);
    AddLedgerOption(leaf, a->location);
    OnParsed(leaf, chosen, std::move(check),
             [a, command](const Console& c) { return WithLedger(*a, c, command); });
    return leaf;
}

}  // namespace

void AddLedgerCommands(CLI::App& main, Action& chosen) {
    CLI::App& ledger = AddGroup(main, "ledger", kLedgerUsage);
    auto init = std::make_shared<LedgerArgs>();
    CLI::App& initLeaf = AddLedgerLeaf(ledger, "init", chosen, Init, init);
    // The range is checked by the ledger: a bad one is refused (exit 2), not a usage error.
    initLeaf.add_option("--mac-first", init->macFirst)->required()->type_name("HEX12");
    initLeaf.add_option("--mac-last", init->macLast)->required()->type_name("HEX12");
    initLeaf.add_option("--serial-first", init->serialFirst)->required()->type_name("N");

    auto status = std::make_shared<LedgerArgs>();
    AddLedgerLeaf(ledger, "status", chosen, Status, status).add_flag("--json", status->json);

    auto list = std::make_shared<LedgerArgs>();
    CLI::App& listLeaf = AddLedgerLeaf(ledger, "list", chosen, List, list);
    CLI::Option* csv = listLeaf.add_flag("--csv", list->csv);
    listLeaf.add_flag("--json", list->json)->excludes(csv);

    auto settle = std::make_shared<LedgerArgs>();
    CLI::App& settleLeaf = AddLedgerLeaf(ledger, "settle", chosen, Settle, settle, [settle] {
        if (!settle->mac.empty() && (settle->as.empty() || settle->note.empty()))
            UsageError("settling a unit needs --as and --note");
        if (settle->mac.empty() && !settle->as.empty()) UsageError("--as needs the unit's MAC");
    });
    settleLeaf.add_option("MAC", settle->mac);
    settleLeaf.add_option("--as", settle->as)
        ->check(CLI::IsMember({"done", "void", "released"}))
        ->type_name("done|void|released");
    settleLeaf.add_option("--note", settle->note)->type_name("TEXT");
    settleLeaf.add_flag("--json", settle->json);

    AddLabelCommand(ledger, chosen);
    AddLedgerReportCommand(ledger, chosen);
}

}  // namespace imgdl::cli
