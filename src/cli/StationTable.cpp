#include "StationTable.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace imgdl::cli {
namespace {

std::size_t TerminalWidth(std::FILE* out) {
    winsize size{};
    if (::ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col >= 40) return size.ws_col;
    return 100;
}

std::string Elapsed(std::chrono::steady_clock::duration time) {
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(time).count();
    const std::string seconds = std::to_string(s % 60);
    return std::to_string(s / 60) + (seconds.size() < 2 ? ":0" : ":") + seconds;
}

}  // namespace

PortTable::PortTable(const std::vector<std::string>& ports) : order_(ports) {
    for (const auto& name : ports) rows_[name].event.port = name;
}

void PortTable::portChanged(const station::PortEvent& event) {
    const std::lock_guard lock(mutex_);
    Row& row = rows_[event.port];
    if (event.state == station::PortState::Found) row.since = std::chrono::steady_clock::now();
    if (event.state != row.event.state) {
        done_ += event.state == station::PortState::Done;
        failed_ += event.state == station::PortState::Failed;
    }
    row.event = event;
    changed_ = true;
}

std::string PortTable::line(const Row& row, std::chrono::steady_clock::time_point now) const {
    const station::PortEvent& e = row.event;
    const bool busy = e.state == station::PortState::Working;
    std::string state(station::PortStateName(e.state));
    if (!e.hold.empty()) state += " (" + e.hold + ")";
    if (busy && !e.stage.empty()) state += ": " + e.stage;
    char text[512];
    std::snprintf(text, sizeof text, "%-12.12s %-22.22s %-12s %-10s %4s %6s  %s", e.port.c_str(),
                  state.c_str(), e.mac.empty() ? "-" : e.mac.c_str(),
                  e.serial ? std::to_string(*e.serial).c_str() : "-",
                  busy ? (std::to_string(e.percent) + "%").c_str() : "",
                  busy ? Elapsed(now - row.since).c_str() : "",
                  (e.cause.empty() ? e.labelError : e.cause).c_str());
    return text;
}

void PortTable::draw(std::FILE* out, bool paused) {
    const std::lock_guard lock(mutex_);
    if (!changed_) return;
    changed_ = false;
    const std::size_t width = TerminalWidth(out);
    const auto now = std::chrono::steady_clock::now();
    std::string screen = "\x1b[H\x1b[J";  // from the top, the rest cleared
    const auto add = [&](std::string text) {
        if (text.size() > width) text.resize(width);
        screen += text + "\n";
    };
    char summary[128];
    std::snprintf(summary, sizeof summary, "imgdl station: %zu done, %zu failed%s", done_, failed_,
                  paused ? ", paused" : "");
    add(summary);
    add("");
    char heading[128];
    std::snprintf(heading, sizeof heading, "%-12s %-22s %-12s %-10s %4s %6s  %s", "PORT", "STATE",
                  "MAC", "SERIAL", "", "TIME", "CAUSE");
    add(heading);
    for (const auto& name : order_) add(line(rows_.at(name), now));
    add("");
    add("type: cancel PORT, retry PORT, disable PORT, enable PORT, pause, resume; Ctrl+C ends");
    std::fputs(screen.c_str(), out);
    std::fflush(out);
}

}  // namespace imgdl::cli
