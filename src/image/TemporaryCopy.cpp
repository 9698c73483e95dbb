#include "image/TemporaryCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/RegularFile.h"

namespace imgdl {
namespace {

bool WriteAll(int fd, const char* data, std::size_t count) {
    while (count > 0) {
        const ssize_t put = ::write(fd, data, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

bool CopyContents(int from, int to) {
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!WriteAll(to, buffer, static_cast<std::size_t>(got))) return false;
    }
}

}  // namespace

TemporaryCopy::~TemporaryCopy() {
    Remove();
}

bool TemporaryCopy::CopyFrom(const std::string& source) {
    Remove();
    const UniqueFd from = OpenRegularFileForReading(source).fd;
    if (!from) return false;
    // The operator's file may itself stand under the name: removing it would lose it.
    struct stat source_info {
    }, existing{};
    if (::fstat(from.get(), &source_info) == 0 && ::lstat(name_.c_str(), &existing) == 0 &&
        source_info.st_dev == existing.st_dev && source_info.st_ino == existing.st_ino)
        return false;
    // A leftover of an earlier run (or a link planted under the name) goes first;
    // O_EXCL then guarantees that the copy is a new file of our own.
    ::unlink(name_.c_str());
    UniqueFd to(::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!to) return false;
    created_ = true;
    if (!CopyContents(from.get(), to.get())) {
        Remove();
        return false;
    }
    return true;
}

void TemporaryCopy::Remove() {
    if (created_) ::unlink(name_.c_str());
    created_ = false;
}

}  // namespace imgdl
