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

// A leftover of an earlier run (or a link planted under the name) goes first; O_EXCL
// then guarantees that the copy is a new file of our own. Someone renaming links over
// the name in a loop can win a round, so a few more are tried.
UniqueFd CreateExclusive(const std::string& name) {
    constexpr int kRounds = 1000;
    UniqueFd fd;
    for (int round = 0; round < kRounds && !fd; ++round) {
        ::unlink(name.c_str());
        fd.reset(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!fd && errno != EEXIST) break;
    }
    return fd;
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
    UniqueFd to = CreateExclusive(name_);
    struct stat created {};
    if (!to || ::fstat(to.get(), &created) != 0) return false;
    descriptor_ = std::move(to);
    device_ = created.st_dev;
    inode_ = created.st_ino;
    if (!CopyContents(from.get(), descriptor_.get())) {
        Remove();
        return false;
    }
    return true;
}

void TemporaryCopy::Remove() {
    if (!descriptor_) return;
    descriptor_.reset();
    // Another user may have put something else under the name meanwhile; that is
    // theirs. The window between this check and the unlink is as short as it gets
    // without a folder of our own.
    struct stat now {};
    if (::lstat(name_.c_str(), &now) == 0 && now.st_dev == device_ && now.st_ino == inode_)
        ::unlink(name_.c_str());
}

}  // namespace imgdl
