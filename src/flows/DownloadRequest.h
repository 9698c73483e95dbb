#pragma once
// What a front end asks of the download flows, and what they answer. Plain values: the
// main dialog fills a request from its controls and imgdl from its arguments; each shows
// the outcome its own way.
#include <cstdint>
#include <optional>
#include <string>

#include "common/RecorderAddress.h"
#include "session/SessionThread.h"

namespace imgdl {

enum class DownloadKind { Integrated, Identity, Application, Ptz };

struct DownloadRequest {
    DownloadKind kind = DownloadKind::Application;
    // Nothing when the person left parts of the address blank: the sessions then fail
    // to connect, as they always have.
    std::optional<RecorderAddress> target;
    std::string imagePath;  // not used by Identity
    bool writeMac = false;
    std::string macText;  // written only when it is twelve hex digits
    bool writeSerial = false;
    std::uint32_t serial = 0;
    // Once a MAC has been written, the outcome carries the next one.
    bool autoIncrease = false;
    // Integrated: where the patched copy of the image is made. Empty: kIntegratedCopyName
    // in the working folder, as the dialog has always done; units provisioned at the same
    // time each need a name of their own.
    std::string copyPath;
};

struct FlowOutcome {
    enum class Result {
        Done,           // every session ended with the recorder's final acknowledgement
        Refused,        // nothing (more) was sent; `refusal` says why
        SessionFailed,  // a session ended with `error`; the runner has shown it
    };
    Result result = Result::Done;
    int refusal = 0;  // a string-table id
    // A refusal the string table has no entry for (another process holds the recorder);
    // when set, shown instead of `refusal`.
    std::string refusalText;
    int error = 0;       // ERR_*
    SessionCause cause;  // why the session failed
    // The MAC after the one written, when the request asked for it.
    std::optional<std::string> nextMac;

    static FlowOutcome Refuse(int stringId) { return {Result::Refused, stringId, {}, 0, {}, {}}; }
    static FlowOutcome RefuseWith(std::string text) {
        return {Result::Refused, 0, std::move(text), 0, {}, {}};
    }
    static FlowOutcome Session(const SessionOutcome& session) {
        return {session.error == 0 ? Result::Done : Result::SessionFailed,
                0,
                {},
                session.error,
                session.cause,
                {}};
    }
};

}  // namespace imgdl
