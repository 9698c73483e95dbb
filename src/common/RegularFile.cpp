#include "common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <stdexcept>

namespace imgdl {

OpenedFile OpenRegularFile(const std::filesystem::path& path, FileAccess access) {
    // O_NONBLOCK keeps open() of a FIFO from waiting for a writer; O_NOCTTY keeps a
    // terminal named by mistake from becoming ours.
    const int flags =
        (access == FileAccess::ReadOnly ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int raw;
    do {
        raw = ::open(path.c_str(), flags);
    } while (raw < 0 && errno == EINTR);
    OpenedFile opened;
    UniqueFd fd(raw);
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || info.st_size < 0) {
        opened.failure = OpenFailure::CannotOpen;
        return opened;
    }
    if (!S_ISREG(info.st_mode)) {
        opened.failure = OpenFailure::NotRegularFile;
        return opened;
    }
    // Regular files ignore the flag, but later readers expect a plain descriptor.
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
        opened.failure = OpenFailure::CannotOpen;
        return opened;
    }
    opened.fd = std::move(fd);
    opened.size = static_cast<std::uint64_t>(info.st_size);
    return opened;
}

std::optional<std::vector<std::uint8_t>> ReadRegularFile(const std::filesystem::path& path) {
    const OpenedFile file = OpenRegularFileForReading(path);
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    try {
        // The length at open is a hint; a file that grows or shrinks meanwhile is read
        // to its end all the same.
        bytes.resize(static_cast<std::size_t>(file.size) + 1);
        std::size_t total = 0;
        for (;;) {
            if (total == bytes.size()) bytes.resize(bytes.size() * 2);
            const ssize_t got = ::read(file.fd.get(), bytes.data() + total, bytes.size() - total);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return std::nullopt;
            if (got == 0) break;
            total += static_cast<std::size_t>(got);
        }
        bytes.resize(total);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
    return bytes;
}

SmallTextFile ReadSmallTextFile(const std::string& path, std::uint64_t largest,
                                const std::string& what) {
    const OpenedFile file = OpenRegularFileForReading(path);
    if (file.failure == OpenFailure::NotRegularFile) return {{}, path + ": not a regular file"};
    if (file.size > largest) return {{}, path + ": too big for " + what};
    const auto bytes = ReadRegularFile(path);
    if (!file || !bytes) return {{}, path + ": cannot be read"};
    return {std::string(bytes->begin(), bytes->end()), {}};
}

}  // namespace imgdl
