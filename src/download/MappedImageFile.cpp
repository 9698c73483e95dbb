#include "download/MappedImageFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>

namespace imgdl {
namespace {

int OpenRetrying(const char* path, int flags) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

std::uint8_t* MappedImageFile::Open(const std::string& path, bool readOnly) {
    Close();
    descriptor_.reset(OpenRetrying(path.c_str(), readOnly ? O_RDONLY : O_RDWR));
    if (!descriptor_) return nullptr;

    struct stat info {};
    // An empty file has nothing to map; the descriptor stays open until Close, as
    // with any other mapping failure.
    if (::fstat(descriptor_.get(), &info) != 0 || info.st_size <= 0) return nullptr;

    const auto length = static_cast<std::size_t>(info.st_size);
    const int protection = readOnly ? PROT_READ : PROT_READ | PROT_WRITE;
    void* view = ::mmap(nullptr, length, protection, MAP_SHARED, descriptor_.get(), 0);
    if (view == MAP_FAILED) return nullptr;

    view_ = static_cast<std::uint8_t*>(view);
    mappedLength_ = length;
    return view_;
}

std::uint64_t MappedImageFile::Length() const {
    struct stat info {};
    if (!descriptor_ || ::fstat(descriptor_.get(), &info) != 0 || info.st_size < 0) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

void MappedImageFile::Close() {
    if (view_) ::munmap(view_, mappedLength_);
    view_ = nullptr;
    mappedLength_ = 0;
    descriptor_.reset();
}

}  // namespace imgdl
