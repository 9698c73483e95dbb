#include "SessionScript.h"

#include <utility>

namespace imgdl::sim {

namespace {

constexpr std::pair<std::string_view, SessionMode> kModes[] = {
    {"ok", SessionMode::Ok},
    {"incompatible", SessionMode::Incompatible},
    {"close-before-ack", SessionMode::CloseBeforeAck},
    {"close-between-acks", SessionMode::CloseBetweenAcks},
    {"garbage-ack", SessionMode::GarbageAck},
    {"bad-echo", SessionMode::BadEcho},
    {"stall", SessionMode::Stall},
    {"slow-read", SessionMode::SlowRead},
    {"stop-reading", SessionMode::StopReading},
    {"mute", SessionMode::Mute},
};

// Neither an acknowledgement nor the incompatible word.
constexpr std::uint32_t kGarbageWord = 0x12345678;
// No payload of a real session is this long.
constexpr std::uint32_t kWrongEcho = 0xFFFFFFFF;

}  // namespace

std::optional<std::vector<SessionMode>> ParseScript(std::string_view text) {
    std::vector<SessionMode> script;
    for (std::size_t pos = 0; pos <= text.size();) {
        std::size_t end = text.find(',', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view word = text.substr(pos, end - pos);
        std::optional<SessionMode> mode;
        for (const auto& [name, m] : kModes)
            if (name == word) mode = m;
        if (!mode) return std::nullopt;
        script.push_back(*mode);
        pos = end + 1;
    }
    return script;
}

RecorderBehaviour BehaviourFor(SessionMode mode, RecorderBehaviour b) {
    switch (mode) {
        case SessionMode::Ok:
            break;
        case SessionMode::Incompatible:
            b.incompatible = true;
            break;
        case SessionMode::CloseBeforeAck:
            b.closeBefore = Step::FirstAck;
            break;
        case SessionMode::CloseBetweenAcks:
            b.closeBefore = Step::SecondAck;
            break;
        case SessionMode::GarbageAck:
            b.firstAck = kGarbageWord;
            break;
        case SessionMode::BadEcho:
            b.lengthEcho = kWrongEcho;
            break;
        case SessionMode::Stall:
            b.stallAt = Step::FirstAck;
            // Silent until the client closes: its own time limit decides.
            b.drainLimit = std::chrono::hours(24);
            break;
        case SessionMode::SlowRead:
            // About 800 KB/s: 8 KiB every 10 ms through an 8 KiB receive buffer.
            b.receiveBuffer = 8192;
            b.readPiece = 8192;
            b.readPause = std::chrono::milliseconds(10);
            break;
        case SessionMode::StopReading:
            // 64 KiB through a small receive buffer, then the client's sends fill up.
            b.receiveBuffer = 8192;
            b.payloadBytesFirst = 64 * 1024;
            b.stallAt = Step::Payload;
            b.drainLimit = std::chrono::hours(24);
            break;
        case SessionMode::Mute:
            // No handshake reply: the client has sent nothing of its payload.
            b.stallAt = Step::HandshakeReply;
            b.drainLimit = std::chrono::hours(24);
            break;
    }
    return b;
}

SessionMode ModeOfSession(const std::vector<SessionMode>& script, std::size_t index) {
    return index < script.size() ? script[index] : SessionMode::Ok;
}

}  // namespace imgdl::sim
