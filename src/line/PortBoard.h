#pragma once
// The station's ports as the window shows them: one place that moves a port's view with
// the engine's events, and says which of a person's actions apply to it. No Qt, so the
// rules are tested without widgets; the cards are a view of it.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "station/PortState.h"

namespace imgdl::line {

using Clock = std::chrono::steady_clock;

struct PortView {
    std::string name;
    station::PortState state = station::PortState::Waiting;
    std::string mac;  // twelve hex digits, once the unit has numbers
    std::optional<std::uint32_t> serial;
    std::uint32_t percent = 0;
    std::string stage;  // what the running session does
    std::string cause;
    std::string label;        // where the unit's label went
    std::string labelError;   // why it has none
    std::string hold;         // what keeps a waiting port from looking
    bool reprinting = false;  // its label is being made again
    std::optional<Clock::time_point> found, ended;

    bool canCancel() const;
    bool canRetry() const;
    // Always: a port taken out of service while a unit works finishes that unit first.
    bool canDisable() const;
    bool canReprint() const;
    // From the unit's finding to its end, or to `now` while it works.
    std::chrono::seconds elapsed(Clock::time_point now) const;
};

class PortBoard {
  public:
    explicit PortBoard(const std::vector<std::string>& names);

    struct Change {
        std::size_t index = 0;
        bool unitEnded = false;  // done or failed just now
    };
    // Nothing for a port the board does not have.
    std::optional<Change> apply(const station::PortEvent& event, Clock::time_point now);

    std::size_t size() const { return ports_.size(); }
    const PortView& port(std::size_t i) const { return ports_[i]; }
    std::optional<std::size_t> indexOf(const std::string& name) const;
    // A label asked for again from the card, and its outcome.
    void setReprinting(std::size_t i) { ports_[i].reprinting = true; }
    void setLabel(std::size_t i, std::string where, std::string error);

  private:
    std::vector<PortView> ports_;
};

// "0:07", "12:34", "1:02:03".
std::string FormatElapsed(std::chrono::seconds elapsed);

}  // namespace imgdl::line
