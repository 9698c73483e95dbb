#pragma once
// Message boxes as lines on standard error, counted so the program can tell a
// refused input from a clean run.
#include <cstdio>

#include "res/MessageService.h"

namespace imgdl::cli {

class ConsoleMessages final : public MessageService {
  public:
    explicit ConsoleMessages(std::FILE* out = stderr) : out_(out) {}
    MessageAnswer showMessage(std::string_view text, MessageButtons buttons,
                              MessageIcon icon) override;
    // No one is there to choose a file.
    std::optional<std::string> chooseFile(const FileDialogRequest&) override {
        return std::nullopt;
    }

    int shown() const { return shown_; }

  private:
    std::FILE* out_;
    int shown_ = 0;
};

}  // namespace imgdl::cli
