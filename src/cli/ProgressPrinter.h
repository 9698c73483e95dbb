#pragma once
// Shows a running session on standard error: a progress bar with the window's stage
// texts on a terminal, one line per stage elsewhere. Called on the worker thread.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "session/DownloadJob.h"

namespace imgdl::cli {

class ProgressPrinter final : public DownloadSink {
  public:
    ProgressPrinter(std::FILE* out, bool terminal, std::int32_t size);
    void stage(int stage) override;
    void progress(std::uint32_t percent) override;
    void error(int code) override;
    // The bar's text for a percentage (public for tests).
    std::string barLine(std::uint32_t percent) const;

  private:
    void showStage(int stage);

    std::FILE* out_;
    bool terminal_;
    std::int32_t size_;
    std::chrono::steady_clock::time_point start_;
    std::string stageText_;
    bool barShown_ = false;
};

}  // namespace imgdl::cli
