#pragma once
// One flow at a time per recorder, across every process and user of this machine: an
// advisory lock on a file in a folder all of them share. The version check and the
// image are two sessions; nothing of another flow may come between them.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "common/RecorderAddress.h"
#include "common/UniqueFd.h"

namespace imgdl {

// Who holds a recorder, as its lock file says.
struct RecorderHolder {
    std::string program;
    pid_t pid = 0;
};

class RecorderLock {
  public:
    RecorderLock() = default;
    RecorderLock(RecorderLock&&) = default;
    RecorderLock& operator=(RecorderLock&&) = default;
    // Leaving the file in place: removing it would let a third process lock a fresh
    // file while the second still waits on the old one.
    ~RecorderLock() = default;

    enum class Failure { Busy, CannotLock };
    struct Refusal {
        Failure failure = Failure::CannotLock;
        std::optional<RecorderHolder> holder;  // for Busy, when the file names one
    };

    // The recorder's lock, taken at once, or why not. Never waits. Keyed by address,
    // port and interface: a station's ports share one address on different interfaces.
    static std::variant<RecorderLock, Refusal> Acquire(const RecorderAddress& recorder);
    // The same, except that a holder in this very process (another unit thread of the
    // same run, which will let go) is waited for; any other holder still refuses at once.
    static std::variant<RecorderLock, Refusal> AcquireAfterSiblings(
        const RecorderAddress& recorder);

    // The folder the lock files live in: /run/lock when writable, else the temporary one.
    static std::string Folder();
    // The lock file's name in Folder() for a recorder.
    static std::string FileName(const RecorderAddress& recorder);

  private:
    explicit RecorderLock(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

// "The recorder A:P is in use by PROGRAM (process PID)." and the like, for either refusal.
std::string RefusalMessage(const RecorderAddress& recorder, const RecorderLock::Refusal& refusal);

}  // namespace imgdl
