#pragma once
// An image file opened and mapped whole, so that a flow can patch bytes in place and
// hand the mapped bytes to a session without copying the file into memory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/UniqueFd.h"

namespace imgdl {

class MappedImageFile {
  public:
    MappedImageFile() = default;
    MappedImageFile(const MappedImageFile&) = delete;
    MappedImageFile& operator=(const MappedImageFile&) = delete;
    ~MappedImageFile() { Close(); }

    // Opens and maps the whole file; the view, or null on failure. An open view is
    // closed first. Writes through a read-write view change the file itself.
    std::uint8_t* Open(const std::string& path, bool readOnly);
    // Maps the whole file behind a descriptor the caller keeps open, such as a private
    // copy that must not be opened again by name. The mapping holds its own duplicate.
    std::uint8_t* Map(int descriptor, bool readOnly);
    // The file's length as the descriptor reports it; 0 when nothing is open.
    std::uint64_t Length() const;
    // Releases the view, then closes the descriptor.
    void Close();

    std::uint8_t* view() const { return view_; }
    std::size_t mappedLength() const { return mappedLength_; }

  private:
    std::uint8_t* MapOpened(std::uint64_t size, bool readOnly);

    std::uint8_t* view_ = nullptr;
    std::size_t mappedLength_ = 0;
    UniqueFd descriptor_;
};

}  // namespace imgdl
