#include "ShiftReport.h"

#include <algorithm>
#include <ctime>
#include <unordered_map>

namespace imgdl::report {
namespace {

using ledger::UnitRecord;
using ledger::UnitResult;

// A row of the window with its times read once.
struct Row {
    const UnitRecord* record = nullptr;
    Instant at = 0;                       // where it belongs: its end, else its start
    std::optional<std::int64_t> seconds;  // found (else started) to ended, when it ended
};

std::optional<Row> ReadRow(const UnitRecord& u) {
    const auto started = ParseLedgerTime(u.started);
    if (!started) return std::nullopt;
    if (u.ended.empty()) return Row{&u, *started, std::nullopt};
    const auto ended = ParseLedgerTime(u.ended);
    if (!ended) return std::nullopt;
    const auto found = u.found.empty() ? std::nullopt : ParseLedgerTime(u.found);
    return Row{&u, *ended, std::max<std::int64_t>(0, *ended - found.value_or(*started))};
}

bool IsFailure(UnitResult r) {
    return r == UnitResult::Failed || r == UnitResult::Uncertain || r == UnitResult::Void;
}

// The newest row of each MAC among `rows` (oldest first), in the order they came; a unit
// sent an image alone has no MAC and is a unit of its own.
std::vector<const Row*> NewestPerMac(const std::vector<const Row*>& rows) {
    std::unordered_map<std::uint64_t, std::size_t> newest;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i]->record->numbered) newest[rows[i]->record->mac] = i;
    std::vector<const Row*> units;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (!rows[i]->record->numbered || newest[rows[i]->record->mac] == i)
            units.push_back(rows[i]);
    return units;
}

std::optional<double> Median(std::vector<std::int64_t> values) {
    if (values.empty()) return std::nullopt;
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + mid, values.end());
    const double upper = static_cast<double>(values[mid]);
    if (values.size() % 2 == 1) return upper;
    const double lower =
        static_cast<double>(*std::max_element(values.begin(), values.begin() + mid));
    return (lower + upper) / 2;
}

ShiftFigures Figures(const std::vector<const Row*>& rows, double hours) {
    ShiftFigures f;
    std::vector<std::int64_t> times;
    for (const Row* unit : NewestPerMac(rows)) {
        switch (unit->record->result) {
            case UnitResult::Done:
                ++f.done;
                if (unit->seconds) times.push_back(*unit->seconds);
                break;
            case UnitResult::Uncertain:
                ++f.uncertain;
                break;
            case UnitResult::Void:
                ++f.voided;
                break;
            default:
                break;
        }
    }
    for (const Row* row : rows) {
        const UnitRecord& u = *row->record;
        if (u.result == UnitResult::Released) ++f.released;
        if (!IsFailure(u.result)) continue;
        ++f.failures;
        ++f.failuresByCause[u.cause.empty() ? std::string(kUnknownCause) : u.cause];
    }
    f.unitsPerHour = hours > 0 ? static_cast<double>(f.done) / hours : 0;
    if (!times.empty()) f.slowestSeconds = *std::max_element(times.begin(), times.end());
    f.medianSeconds = Median(std::move(times));
    return f;
}

template <typename Key, typename KeyOf>
std::map<Key, std::vector<const Row*>> GroupBy(const std::vector<const Row*>& rows, KeyOf keyOf) {
    std::map<Key, std::vector<const Row*>> groups;
    for (const Row* row : rows)
        if (auto key = keyOf(*row->record)) groups[*key].push_back(row);
    return groups;
}

std::vector<HourCount> Hours(const std::vector<const Row*>& rows, Instant since, Instant until) {
    std::vector<HourCount> hours;
    for (Instant start = LocalHourStart(since); start < until; start += kSecondsPerHour)
        hours.push_back({start, FormatLocalTime(start), 0, 0});
    const Instant first = hours.empty() ? since : hours.front().start;
    const auto bucket = [&](const Row& row) -> HourCount& {
        return hours[static_cast<std::size_t>((row.at - first) / kSecondsPerHour)];
    };
    for (const Row* unit : NewestPerMac(rows))
        if (unit->record->result == UnitResult::Done) ++bucket(*unit).done;
    for (const Row* row : rows)
        if (IsFailure(row->record->result)) ++bucket(*row).failures;
    return hours;
}

std::vector<Row> RowsOfTheWindow(const std::vector<UnitRecord>& records, Instant since,
                                 Instant until, std::string_view station) {
    std::vector<Row> rows;
    for (const UnitRecord& u : records) {
        if (!station.empty() && u.station != station) continue;
        if (auto row = ReadRow(u); row && row->at >= since && row->at < until) rows.push_back(*row);
    }
    return rows;
}

}  // namespace

ShiftReport BuildShiftReport(const std::vector<ledger::UnitRecord>& records, Instant since,
                             Instant until, std::string_view station) {
    tzset();  // TZ as it is now, not as it was when the process first asked
    ShiftReport report;
    report.since = since;
    report.until = until;
    report.station = station;
    const std::vector<Row> read = RowsOfTheWindow(records, since, until, station);
    std::vector<const Row*> rows;
    for (const Row& row : read) rows.push_back(&row);

    const double hours = static_cast<double>(until - since) / kSecondsPerHour;
    report.total = Figures(rows, hours);
    const auto byStation = GroupBy<std::string>(
        rows, [](const UnitRecord& u) { return std::optional<std::string>(u.station); });
    for (const auto& [name, group] : byStation)
        report.stations.push_back({name, Figures(group, hours)});
    using PortKey = std::pair<std::string, std::string>;
    const auto byPort = GroupBy<PortKey>(rows, [](const UnitRecord& u) {
        return u.port.empty() ? std::nullopt : std::optional<PortKey>({u.station, u.port});
    });
    for (const auto& [key, group] : byPort)
        report.ports.push_back({key.first, key.second, Figures(group, hours)});
    report.hours = Hours(rows, since, until);
    return report;
}

}  // namespace imgdl::report
