#pragma once
// A private copy of a file under a fixed name, removed again when the owner goes.
// The copy is only ever used through the descriptor that created it: in a folder other
// users may write, the name can be swapped for a link at any moment.
#include <sys/types.h>

#include <string>

#include "common/UniqueFd.h"

namespace imgdl {

class TemporaryCopy {
  public:
    explicit TemporaryCopy(std::string name) : name_(std::move(name)) {}
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;
    ~TemporaryCopy();

    // Replaces whatever stands under the name (a leftover file or link is removed,
    // never written through) with a complete copy of source. False when the copy
    // could not be made whole; what was made is removed then.
    bool CopyFrom(const std::string& source);
    const std::string& name() const { return name_; }
    // The copy, open for reading and writing; invalid before a successful CopyFrom.
    int descriptor() const { return descriptor_.get(); }

  private:
    // Unlinks the name only while it still is the file this copy created.
    void Remove();

    std::string name_;
    UniqueFd descriptor_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace imgdl
