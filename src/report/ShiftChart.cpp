#include "ShiftChart.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace imgdl::report {
namespace {

constexpr const char* kFont = "DejaVu Sans, Arial, Helvetica, sans-serif";
constexpr const char* kDoneColour = "#3b7dd8";
constexpr const char* kFailureColour = "#d9534f";
constexpr double kLeft = 56, kRight = 24, kTop = 76, kBottom = 72;
constexpr double kPlotHeight = 240;
constexpr double kWidestPlot = 8000;
constexpr double kLabelWidth = 34;  // "06:00" at 10 px, with a gap
constexpr double kCharWidth = 6.5;  // a character at 11 px, near enough to place the legend

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// The length of the UTF-8 sequence that starts `text` at `i`, 0 when it is not one.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    return length;
}

// Text as XML character data. A station's name comes from whatever the ledger or the
// command line held: control characters and bytes that are not UTF-8 would make the
// whole document unreadable, so they read as '?'.
std::string Escaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        const char ch = text[i];
        if (length == 0 || (length == 1 && static_cast<unsigned char>(ch) < 0x20)) {
            out += '?';
            ++i;
            continue;
        }
        if (ch == '&')
            out += "&amp;";
        else if (ch == '<')
            out += "&lt;";
        else if (ch == '>')
            out += "&gt;";
        else if (ch == '"')
            out += "&quot;";
        else
            out.append(text, i, length);
        i += length;
    }
    return out;
}

std::string Text(double x, double y, const char* anchor, int size, const std::string& text,
                 const char* extra = "") {
    return Format(
               "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\" font-family=\"%s\" "
               "font-size=\"%d\"%s>",
               x, y, anchor, kFont, size, extra) +
           Escaped(text) + "</text>\n";
}

// The top of the value axis and its step: 1, 2 or 5 times a power of ten, at most five
// steps, so the grid lines fall on round numbers.
std::pair<std::uint64_t, std::uint64_t> ValueAxis(std::uint64_t largest) {
    std::uint64_t step = 1;
    for (std::uint64_t power = 1;; power *= 10) {
        for (const std::uint64_t m : {1, 2, 5}) {
            step = m * power;
            if ((largest + step - 1) / step <= 5)
                return {std::max<std::uint64_t>(1, (largest + step - 1) / step) * step, step};
        }
    }
}

struct Geometry {
    double slot = 0;  // width of one hour
    double width = 0, height = 0;
    std::uint64_t top = 1, step = 1;
    double y(std::uint64_t value) const {
        return kTop + kPlotHeight -
               kPlotHeight * static_cast<double>(value) / static_cast<double>(top);
    }
};

Geometry Measure(const ShiftReport& r) {
    Geometry g;
    const double n = static_cast<double>(std::max<std::size_t>(1, r.hours.size()));
    // Narrower hours for long windows, but never wider than renderers draw (rsvg-convert
    // stops at 32767 pixels): a year's hours end up thinner than a pixel.
    g.slot = std::min(std::clamp(960.0 / n, 6.0, 48.0), kWidestPlot / n);
    g.width = std::max(560.0, kLeft + g.slot * n + kRight);
    g.height = kTop + kPlotHeight + kBottom;
    std::uint64_t largest = 0;
    for (const HourCount& h : r.hours) largest = std::max({largest, h.done, h.failures});
    std::tie(g.top, g.step) = ValueAxis(largest);
    return g;
}

std::string Heading(const ShiftReport& r, const Geometry& g) {
    std::string s =
        Text(kLeft, 24, "start", 15, "Units done and failures per hour", " font-weight=\"bold\"");
    std::string window = FormatLocalTime(r.since) + " to " + FormatLocalTime(r.until);
    if (!r.station.empty()) window += ", station " + r.station;
    s += Text(kLeft, 42, "start", 11, window, " fill=\"#444444\"");
    // The legend, with the window's totals, right-aligned above the plot.
    const std::string done = "units done: " + std::to_string(r.total.done);
    const std::string failed = "failures: " + std::to_string(r.total.failures);
    const double doneWidth = 17 + kCharWidth * static_cast<double>(done.size()) + 18;
    const double failedWidth = 17 + kCharWidth * static_cast<double>(failed.size());
    const double x = g.width - kRight - doneWidth - failedWidth;
    s += Format("<rect x=\"%.1f\" y=\"52\" width=\"12\" height=\"12\" fill=\"%s\"/>\n", x,
                kDoneColour);
    s += Text(x + 17, 62, "start", 11, done);
    s += Format("<rect x=\"%.1f\" y=\"52\" width=\"12\" height=\"12\" fill=\"%s\"/>\n",
                x + doneWidth, kFailureColour);
    s += Text(x + doneWidth + 17, 62, "start", 11, failed);
    return s;
}

std::string ValueGrid(const Geometry& g) {
    std::string s;
    const double right = g.width - kRight;
    for (std::uint64_t v = 0; v <= g.top; v += g.step) {
        const double y = g.y(v);
        if (v > 0)
            s += Format(
                "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#dddddd\" "
                "stroke-width=\"1\"/>\n",
                kLeft, y, right, y);
        s += Text(kLeft - 6, y + 4, "end", 10, std::to_string(v));
    }
    s += Text(kLeft - 6, kTop - 10, "end", 10, "per hour", " fill=\"#444444\"");
    const double bottom = kTop + kPlotHeight;
    s += Format(
        "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#333333\" "
        "stroke-width=\"1\"/>\n",
        kLeft, kTop, kLeft, bottom);
    s += Format(
        "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#333333\" "
        "stroke-width=\"1\"/>\n",
        kLeft, bottom, right, bottom);
    return s;
}

std::string Bar(double x, double width, std::uint64_t value, const char* colour,
                const std::string& what, const Geometry& g) {
    if (value == 0) return {};
    const double y = g.y(value);
    return Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\">", x, y,
                  width, kTop + kPlotHeight - y, colour) +
           "<title>" + Escaped(what) + "</title></rect>\n";
}

// Hours read "06:00"; below, the date under the first hour shown of each day and the
// offset where it changes (and both at the first hour), so the hour the clocks go back reads twice
// with two offsets.
std::string HourLabels(const ShiftReport& r, const Geometry& g) {
    std::string s;
    const auto every = static_cast<std::size_t>(std::ceil(kLabelWidth / g.slot));
    const double base = kTop + kPlotHeight;
    long previousOffset = 0;
    int shownDay = 0;  // the day of month last written under an hour
    for (std::size_t i = 0; i < r.hours.size(); ++i) {
        const LocalTime l = ToLocal(r.hours[i].start);
        const bool offsetChanged = i == 0 || l.offset != previousOffset;
        previousOffset = l.offset;
        if (i % every != 0 && !offsetChanged) continue;
        const double x = kLeft + g.slot * (static_cast<double>(i) + 0.5);
        const bool newDay = l.day != shownDay;
        shownDay = l.day;
        s += Format(
            "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#333333\" "
            "stroke-width=\"1\"/>\n",
            x, base, x, base + 4);
        s += Text(x, base + 16, "middle", 10, Format("%02d:%02d", l.hour, l.minute));
        if (newDay)
            s += Text(x, base + 30, "middle", 9, Format("%02d-%02d", l.month, l.day),
                      " fill=\"#444444\"");
        if (offsetChanged) {
            const long offset = std::labs(l.offset);
            s += Text(x, base + 43, "middle", 9,
                      Format("%c%02ld:%02ld", l.offset < 0 ? '-' : '+', offset / 3600,
                             offset % 3600 / 60),
                      " fill=\"#444444\"");
        }
    }
    return s;
}

}  // namespace

std::string ShiftChartSvg(const ShiftReport& r) {
    const Geometry g = Measure(r);
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    s += Format(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%.0f\" "
        "height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">\n",
        g.width, g.height, g.width, g.height);
    s += "<title>Units done and failures per hour</title>\n";
    s += Format("<rect x=\"0\" y=\"0\" width=\"%.0f\" height=\"%.0f\" fill=\"#ffffff\"/>\n",
                g.width, g.height);
    s += Heading(r, g);
    s += ValueGrid(g);
    const double bar = g.slot * 0.38;
    for (std::size_t i = 0; i < r.hours.size(); ++i) {
        const HourCount& h = r.hours[i];
        const double x = kLeft + g.slot * static_cast<double>(i) + g.slot * 0.5;
        s += Bar(x - bar, bar, h.done, kDoneColour,
                 h.label + ": " + std::to_string(h.done) + " done", g);
        s += Bar(x, bar, h.failures, kFailureColour,
                 h.label + ": " + std::to_string(h.failures) + " failed", g);
    }
    s += HourLabels(r, g);
    s += "</svg>\n";
    return s;
}

}  // namespace imgdl::report
