#pragma once
// A private copy of a file under a fixed name, removed again when the owner goes.
#include <string>

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

  private:
    void Remove();

    std::string name_;
    bool created_ = false;
};

}  // namespace imgdl
