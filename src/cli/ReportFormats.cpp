#include "ReportFormats.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace imgdl::cli {
namespace {

using nlohmann::json;
using report::FormatLocalTime;
using report::ShiftFigures;

json OrNull(const std::optional<double>& value) {
    return value ? json(*value) : json(nullptr);
}

json FiguresJson(const ShiftFigures& f) {
    return {{"done", f.done},
            {"uncertain", f.uncertain},
            {"void", f.voided},
            {"released", f.released},
            {"unitsPerHour", f.unitsPerHour},
            {"medianSeconds", OrNull(f.medianSeconds)},
            {"slowestSeconds", f.slowestSeconds ? json(*f.slowestSeconds) : json(nullptr)},
            {"failures", f.failures},
            {"failuresByCause", f.failuresByCause}};
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char ch : text) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return quoted + "\"";
}

std::string Line(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + CsvField(fields[i]);
    return line + "\n";
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The figures' columns, causes last, in the order of `causes`.
std::vector<std::string> FigureFields(const ShiftFigures& f,
                                      const std::vector<std::string>& causes) {
    std::vector<std::string> fields = {std::to_string(f.done),
                                       std::to_string(f.uncertain),
                                       std::to_string(f.voided),
                                       std::to_string(f.released),
                                       Fixed(f.unitsPerHour, 2),
                                       f.medianSeconds ? Fixed(*f.medianSeconds, 1) : "",
                                       f.slowestSeconds ? std::to_string(*f.slowestSeconds) : "",
                                       std::to_string(f.failures)};
    for (const std::string& cause : causes) {
        const auto found = f.failuresByCause.find(cause);
        fields.push_back(std::to_string(found == f.failuresByCause.end() ? 0 : found->second));
    }
    return fields;
}

std::vector<std::string> Join(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

}  // namespace

json ShiftReportJson(const report::ShiftReport& r) {
    json doc = {{"since", FormatLocalTime(r.since)},
                {"until", FormatLocalTime(r.until)},
                {"windowHours", static_cast<double>(r.until - r.since) / report::kSecondsPerHour},
                {"station", r.station.empty() ? json(nullptr) : json(r.station)}};
    doc.update(FiguresJson(r.total));
    json stations = json::array();
    for (const auto& s : r.stations) {
        json station = {{"station", s.station}};
        station.update(FiguresJson(s.figures));
        json ports = json::array();
        for (const auto& p : r.ports) {
            if (p.station != s.station) continue;
            json port = {{"port", p.port}};
            port.update(FiguresJson(p.figures));
            ports.push_back(std::move(port));
        }
        station["ports"] = std::move(ports);
        stations.push_back(std::move(station));
    }
    doc["stations"] = std::move(stations);
    json hourly = json::array();
    for (const auto& h : r.hours)
        hourly.push_back({{"start", h.label}, {"done", h.done}, {"failures", h.failures}});
    doc["hourly"] = std::move(hourly);
    return doc;
}

std::string ShiftReportCsv(const report::ShiftReport& r) {
    std::vector<std::string> causes;
    for (const auto& [cause, count] : r.total.failuresByCause) causes.push_back(cause);
    std::vector<std::string> header = {
        "scope",     "from", "to",       "station",        "port",           "done",
        "uncertain", "void", "released", "units_per_hour", "median_seconds", "slowest_seconds",
        "failures"};
    for (const std::string& cause : causes) header.push_back("cause:" + cause);
    const std::string from = FormatLocalTime(r.since), to = FormatLocalTime(r.until);
    std::string csv = Line(header);
    csv += Line(Join({"total", from, to, r.station, ""}, FigureFields(r.total, causes)));
    for (const auto& s : r.stations)
        csv += Line(Join({"station", from, to, s.station, ""}, FigureFields(s.figures, causes)));
    for (const auto& p : r.ports)
        csv += Line(Join({"port", from, to, p.station, p.port}, FigureFields(p.figures, causes)));
    for (std::size_t i = 0; i < r.hours.size(); ++i) {
        const auto& h = r.hours[i];
        const std::string end = i + 1 < r.hours.size()
                                    ? r.hours[i + 1].label
                                    : FormatLocalTime(h.start + report::kSecondsPerHour);
        std::vector<std::string> line = {
            "hour", h.label, end, "", "", std::to_string(h.done),    "",
            "",     "",      "",  "", "", std::to_string(h.failures)};
        line.resize(header.size());
        csv += Line(line);
    }
    return csv;
}

}  // namespace imgdl::cli
