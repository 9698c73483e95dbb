#pragma once
// Per-session behaviours a technician can name on recorder-sim's command line, so that a
// line can rehearse failures: "--script incompatible,ok,stall" plays one word per
// session, in order, then "ok" for every session after the list.
#include <optional>
#include <string_view>
#include <vector>

#include "RecorderSimulator.h"

namespace imgdl::sim {

enum class SessionMode {
    Ok,
    Incompatible,      // the firmware-version check is answered "incompatible"
    CloseBeforeAck,    // the payload is read, then the connection closed without an answer
    CloseBetweenAcks,  // the first acknowledgement, then closed instead of the second
    GarbageAck,        // a word that is no acknowledgement instead of the first one
    BadEcho,           // a wrong length echoed in the handshake
    Stall,             // the payload is read, then silence until the client gives up
    SlowRead,          // the payload is read slowly through a small receive buffer
    StopReading,       // part of the payload is read, then nothing more until the client gives up
    Mute,              // the command is read, then silence until the client gives up
};

// The mode of each word; nullopt when a word is unknown or the list has an empty item.
std::optional<std::vector<SessionMode>> ParseScript(std::string_view text);

// `base` (the command line's other options) changed to play `mode`.
RecorderBehaviour BehaviourFor(SessionMode mode, RecorderBehaviour base);

// The mode of the session with this index (from 0): the script's, then Ok.
SessionMode ModeOfSession(const std::vector<SessionMode>& script, std::size_t index);

}  // namespace imgdl::sim
