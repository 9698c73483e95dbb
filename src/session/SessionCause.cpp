#include "session/SessionCause.h"

#include <array>
#include <utility>

namespace imgdl {
namespace {

constexpr std::array<std::pair<SessionStep, std::string_view>, 7> kNames{{
    {SessionStep::Connect, "connect"},
    {SessionStep::Handshake, "handshake"},
    {SessionStep::LengthEcho, "length echo"},
    {SessionStep::BeforePayload, "before payload"},
    {SessionStep::Payload, "payload"},
    {SessionStep::FirstAck, "first acknowledgement"},
    {SessionStep::WrittenAck, "written acknowledgement"},
}};

}  // namespace

std::string_view SessionStepName(SessionStep step) {
    for (const auto& [s, name] : kNames)
        if (s == step) return name;
    return {};
}

SessionStep SessionStepNamed(std::string_view name) {
    for (const auto& [s, n] : kNames)
        if (n == name) return s;
    return SessionStep::None;
}

}  // namespace imgdl
