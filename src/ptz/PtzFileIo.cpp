#include "ptz/PtzFileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "common/RegularFile.h"

namespace imgdl::ptz_io {
namespace {

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Saving through a symbolic link replaces the file it points to, not the link.
std::filesystem::path ResolveTarget(const std::filesystem::path& target) {
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error)) return target;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
    return error ? target : resolved;
}

// Unique enough with O_EXCL and a retry; nothing here can throw.
std::string TempSuffix(int attempt) {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    char text[48];
    std::snprintf(text, sizeof text, ".%ld.%llx.%d", static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(ticks), attempt);
    return text;
}

struct TempFile {
    UniqueFd fd;
    std::filesystem::path path;
};

// A new file in the target's folder (so the rename stays on one file system), hidden
// by a leading dot. 0666 lets the umask decide, as for a newly created target. On
// failure `error` holds the reason.
std::optional<TempFile> CreateTempBeside(const std::filesystem::path& target, int& error) {
    const std::filesystem::path folder = target.parent_path();
    const std::string stem = "." + target.filename().string() + ".tmp";
    error = EEXIST;
    for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
        std::filesystem::path path = folder / (stem + TempSuffix(attempt));
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return TempFile{UniqueFd(fd), std::move(path)};
        error = errno;
    }
    return std::nullopt;
}

// A folder that takes no new file may still hold a file its owner can write; that file
// is then written in place, as saving did before it was made atomic. Only an existing
// regular file is written: nothing is created, and a FIFO refuses at once (O_NONBLOCK)
// instead of waiting for a reader. It is emptied only once it is known to be one.
bool OverwriteInPlace(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
    UniqueFd fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (::ftruncate(fd.get(), 0) != 0) return false;
    const bool written = WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    return ::close(fd.release()) == 0 && written;
}

// A replaced file keeps its permission bits.
void CopyModeFrom(const std::filesystem::path& target, int fd) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        (void)::fchmod(fd, info.st_mode & 07777);
}

void SyncFolder(const std::filesystem::path& target) {
    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) (void)::fsync(fd.get());
}

}  // namespace

UniqueFd OpenForReading(const std::filesystem::path& path, PtzLoadError& why) {
    OpenedFile file = OpenRegularFileForReading(path);
    switch (file.failure) {
        case OpenFailure::None:
            why = PtzLoadError::kNone;
            break;
        case OpenFailure::CannotOpen:
            why = PtzLoadError::kCannotOpen;
            break;
        case OpenFailure::NotRegularFile:
            why = PtzLoadError::kNotRegularFile;
            break;
    }
    return std::move(file.fd);
}

std::size_t ReadUpTo(int fd, std::span<std::uint8_t> buffer) {
    std::size_t total = 0;
    while (total < buffer.size()) {
        const ssize_t got = ::read(fd, buffer.data() + total, buffer.size() - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

bool ReplaceFile(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
    if (target.empty() || !target.has_filename()) return false;
    const std::filesystem::path destination = ResolveTarget(target);
    int error = 0;
    std::optional<TempFile> temp = CreateTempBeside(destination, error);
    if (!temp) return (error == EACCES || error == EPERM) && OverwriteInPlace(destination, bytes);
    CopyModeFrom(destination, temp->fd.get());
    const bool written = WriteAll(temp->fd.get(), bytes) && ::fsync(temp->fd.get()) == 0;
    const bool closed = ::close(temp->fd.release()) == 0;
    if (!written || !closed || ::rename(temp->path.c_str(), destination.c_str()) != 0) {
        (void)::unlink(temp->path.c_str());
        return false;
    }
    SyncFolder(destination);
    return true;
}

}  // namespace imgdl::ptz_io
