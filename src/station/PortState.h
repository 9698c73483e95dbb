#pragma once
// The states of a station's port, and what a port tells its front ends when it moves.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace imgdl::station {

enum class PortState {
    Waiting,             // no unit on the port
    Found,               // a unit answered the probe
    Working,             // its sessions run
    Done,                // it holds its identity and the ledger says so
    Failed,              // it does not; `cause` says why
    AlreadyProvisioned,  // its Ethernet address is one the ledger handed out
    Disabled,            // the person took the port out of service
};

// "waiting", "found", "working", "done", "failed", "already-provisioned", "disabled".
std::string_view PortStateName(PortState state);

struct PortEvent {
    std::string port;
    PortState state = PortState::Waiting;
    std::string mac;                      // twelve hex digits, once the unit has numbers
    std::optional<std::uint32_t> serial;  // likewise
    std::uint32_t percent = 0;            // of the session running, while working
    // What that session does, while working: "version check", "image", "identity", or
    // whatever a front end is told; a free text, so a new step needs no new type.
    std::string stage;
    std::string cause;       // why it failed
    std::string label;       // where a done unit's label went
    std::string labelError;  // why it has none: the unit is done all the same
    std::string hold;        // what keeps a waiting port from looking
};

// A port's event with nothing known yet of a unit.
inline PortEvent FreshEvent(std::string port, PortState state) {
    PortEvent event;
    event.port = std::move(port);
    event.state = state;
    return event;
}

}  // namespace imgdl::station
