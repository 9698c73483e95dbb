#pragma once
// Why a session ended as it did, beside the operator's ERR_* code: the step it reached,
// the system's error where there was one, and how much of the payload had left. The
// operator's texts stay as they are; this is for the technician who asks why.
#include <cstdint>
#include <string>
#include <string_view>

namespace imgdl {

// The steps of a session in the order they happen.
enum class SessionStep {
    None,           // the session ended well, or never started
    Connect,        // the TCP connection
    Handshake,      // the command word and its reply
    LengthEcho,     // the length word and its echo
    BeforePayload,  // the owner's last word before the first payload byte (the ledger's mark)
    Payload,        // the payload itself
    FirstAck,       // the received acknowledgement (or the firmware-version answer)
    WrittenAck,     // the written acknowledgement
};

// "connect", "handshake", "length echo", "before payload", "payload",
// "first acknowledgement", "written acknowledgement"; empty for None.
std::string_view SessionStepName(SessionStep step);
// The step named so; None for an unknown name.
SessionStep SessionStepNamed(std::string_view name);

struct SessionCause {
    SessionStep step = SessionStep::None;
    int systemError = 0;                 // errno of the failing call; 0 when none
    std::string text;                    // "connect 127.0.0.1:5000: Connection refused"
    std::uint64_t payloadBytesSent = 0;  // bytes of the payload the socket took
    bool payloadStarted() const { return payloadBytesSent > 0; }
};

}  // namespace imgdl
