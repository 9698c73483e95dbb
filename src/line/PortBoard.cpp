#include "line/PortBoard.h"

#include <cstdio>

namespace imgdl::line {

using station::PortState;

bool PortView::canCancel() const {
    return state == PortState::Found || state == PortState::Working;
}
bool PortView::canRetry() const {
    return state == PortState::Failed;
}
bool PortView::canDisable() const {
    return true;
}
bool PortView::canReprint() const {
    return state == PortState::Done && !mac.empty() && !reprinting;
}

std::chrono::seconds PortView::elapsed(Clock::time_point now) const {
    if (!found) return std::chrono::seconds(0);
    return std::chrono::duration_cast<std::chrono::seconds>(ended.value_or(now) - *found);
}

PortBoard::PortBoard(const std::vector<std::string>& names) {
    for (const auto& name : names) {
        PortView view;
        view.name = name;
        ports_.push_back(std::move(view));
    }
}

std::optional<std::size_t> PortBoard::indexOf(const std::string& name) const {
    for (std::size_t i = 0; i < ports_.size(); ++i)
        if (ports_[i].name == name) return i;
    return std::nullopt;
}

std::optional<PortBoard::Change> PortBoard::apply(const station::PortEvent& event,
                                                  Clock::time_point now) {
    const auto index = indexOf(event.port);
    if (!index) return std::nullopt;
    PortView& view = ports_[*index];
    const PortState before = view.state;
    const bool ends = event.state == PortState::Done || event.state == PortState::Failed;
    const bool starts = event.state == PortState::Found || event.state == PortState::Working;
    if (starts && !(before == PortState::Found || before == PortState::Working)) {
        view.found = now;
        view.ended.reset();
    }
    // An already provisioned unit's time stops too, though it is no unit of the shift.
    const bool stops = ends || event.state == PortState::AlreadyProvisioned;
    if (stops && before != event.state && view.found && !view.ended) view.ended = now;
    if (event.state == PortState::Waiting || event.state == PortState::Disabled) {
        view.found.reset();
        view.ended.reset();
    }
    view.state = event.state;
    if (view.mac != event.mac) view.reprinting = false;  // another unit's card now
    view.mac = event.mac;
    view.serial = event.serial;
    view.percent = event.percent;
    view.stage = event.stage;
    view.cause = event.cause;
    view.label = event.label;
    view.labelError = event.labelError;
    view.hold = event.hold;
    return Change{*index, ends && before != event.state};
}

void PortBoard::setLabel(std::size_t i, std::string where, std::string error) {
    ports_[i].label = std::move(where);
    ports_[i].labelError = std::move(error);
    ports_[i].reprinting = false;
}

std::string FormatElapsed(std::chrono::seconds elapsed) {
    const long long s = elapsed.count() < 0 ? 0 : elapsed.count();
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

}  // namespace imgdl::line
