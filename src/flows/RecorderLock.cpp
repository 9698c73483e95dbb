#include "flows/RecorderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace imgdl {
namespace {

// Opens the lock file without following links and without waiting on a FIFO. An
// existing file is opened without O_CREAT: in a sticky folder the kernel may refuse
// O_CREAT on another user's file (protected_regular).
UniqueFd OpenLockFile(const std::string& path) {
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    for (int attempt = 0; attempt < 8; ++attempt) {
        UniqueFd fd(::open(path.c_str(), kFlags));
        if (fd || errno != ENOENT) return fd;
        fd.reset(::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666));
        if (fd) {
            // Every user must be able to open it later, whatever our umask.
            ::fchmod(fd.get(), 0666);
            return fd;
        }
        if (errno != EEXIST) return fd;
    }
    return UniqueFd();
}

bool IsRegularFile(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<RecorderHolder> ReadHolder(int fd) {
    char text[256] = {};
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    if (got <= 0) return std::nullopt;
    const std::string_view line(text, static_cast<std::size_t>(got));
    const auto space = line.rfind(' ');
    if (space == std::string_view::npos || space == 0) return std::nullopt;
    char* end = nullptr;
    const long pid = std::strtol(text + space + 1, &end, 10);
    if (pid <= 0 || end == text + space + 1) return std::nullopt;
    return RecorderHolder{std::string(line.substr(0, space)), static_cast<pid_t>(pid)};
}

void WriteHolder(int fd) {
    const std::string line =
        std::string(program_invocation_short_name) + " " + std::to_string(::getpid()) + "\n";
    // The holder is a courtesy for the message; the lock stands without it. Written over
    // the last holder's line, and the file cut only when that line was longer: a station
    // locks its recorder for every unit, and a size change costs a journal commit where
    // the lock folder is on disk.
    const auto size = static_cast<off_t>(line.size());
    if (::pwrite(fd, line.data(), line.size(), 0) != size) return;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size <= size) return;
    [[maybe_unused]] const int cut = ::ftruncate(fd, size);
}

std::string FileNamePart(std::string_view text) {
    std::string part;
    for (const char c : text) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                           (c >= 'A' && c <= 'Z') || c == '.' || c == '-' || c == '_';
        part += plain ? c : '_';
    }
    return part;
}

}  // namespace

std::string RecorderLock::Folder() {
    if (::access("/run/lock", W_OK | X_OK) == 0) return "/run/lock";
    const char* temporary = std::getenv("TMPDIR");
    return temporary && *temporary ? temporary : "/tmp";
}

std::string RecorderLock::FileName(const RecorderAddress& recorder) {
    const auto& o = recorder.ip;
    std::string name = "imgdl-recorder-" + std::to_string(o[0]) + "." + std::to_string(o[1]) + "." +
                       std::to_string(o[2]) + "." + std::to_string(o[3]) + "-" +
                       std::to_string(recorder.port);
    if (!recorder.interfaceName.empty()) name += "-" + FileNamePart(recorder.interfaceName);
    return name + ".lock";
}

std::variant<RecorderLock, RecorderLock::Refusal> RecorderLock::Acquire(
    const RecorderAddress& recorder) {
    UniqueFd fd = OpenLockFile(Folder() + "/" + FileName(recorder));
    if (!fd || !IsRegularFile(fd.get())) return Refusal{Failure::CannotLock, std::nullopt};
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return Refusal{Failure::Busy, ReadHolder(fd.get())};
        return Refusal{Failure::CannotLock, std::nullopt};
    }
    WriteHolder(fd.get());
    return RecorderLock(std::move(fd));
}

std::variant<RecorderLock, RecorderLock::Refusal> RecorderLock::AcquireAfterSiblings(
    const RecorderAddress& recorder) {
    // A holder that has locked but not yet written its name is given a moment.
    constexpr int kUnnamedRounds = 50;
    for (int unnamed = 0;;) {
        auto lock = Acquire(recorder);
        const auto* refusal = std::get_if<Refusal>(&lock);
        if (!refusal || refusal->failure != Failure::Busy) return lock;
        if (!refusal->holder && ++unnamed > kUnnamedRounds) return lock;
        if (refusal->holder && refusal->holder->pid != ::getpid()) return lock;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string RefusalMessage(const RecorderAddress& address, const RecorderLock::Refusal& refusal) {
    const std::string recorder = address.text();
    if (refusal.failure == RecorderLock::Failure::CannotLock)
        return "The recorder " + recorder + " could not be locked for this download in " +
               RecorderLock::Folder() + ".";
    if (!refusal.holder) return "The recorder " + recorder + " is in use by another process.";
    return "The recorder " + recorder + " is in use by " + refusal.holder->program + " (process " +
           std::to_string(refusal.holder->pid) + ").";
}

}  // namespace imgdl
