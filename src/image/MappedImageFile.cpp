#include "image/MappedImageFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <limits>

#include "common/RegularFile.h"

namespace imgdl {

std::uint8_t* MappedImageFile::Open(const std::string& path, bool readOnly) {
    Close();
    OpenedFile opened =
        OpenRegularFile(path, readOnly ? FileAccess::ReadOnly : FileAccess::ReadWrite);
    if (!opened) return nullptr;
    descriptor_ = std::move(opened.fd);
    return MapOpened(opened.size, readOnly);
}

std::uint8_t* MappedImageFile::Map(int descriptor, bool readOnly) {
    Close();
    struct stat info {};
    if (descriptor < 0 || ::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size < 0)
        return nullptr;
    descriptor_.reset(::fcntl(descriptor, F_DUPFD_CLOEXEC, 0));
    if (!descriptor_) return nullptr;
    return MapOpened(static_cast<std::uint64_t>(info.st_size), readOnly);
}

std::uint8_t* MappedImageFile::MapOpened(std::uint64_t size, bool readOnly) {
    // An empty file has nothing to map; the descriptor stays open until Close, as
    // with any other mapping failure.
    if (size == 0 || size > std::numeric_limits<std::size_t>::max()) return nullptr;

    const auto length = static_cast<std::size_t>(size);
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
