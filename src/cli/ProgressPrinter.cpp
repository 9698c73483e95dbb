#include "ProgressPrinter.h"

#include "session/DownloadProtocol.h"
#include "session/StageTexts.h"

namespace imgdl::cli {
namespace {

constexpr int kBarWidth = 30;

std::string Bytes(double n) {
    char text[32];
    if (n >= 1024.0 * 1024.0)
        std::snprintf(text, sizeof text, "%.1f MiB", n / (1024.0 * 1024.0));
    else if (n >= 1024.0)
        std::snprintf(text, sizeof text, "%.1f KiB", n / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.0f B", n);
    return text;
}

}  // namespace

ProgressPrinter::ProgressPrinter(std::FILE* out, bool terminal, std::int32_t size)
    : out_(out), terminal_(terminal), size_(size), start_(std::chrono::steady_clock::now()) {}

std::string ProgressPrinter::barLine(std::uint32_t percent) const {
    const double sent = static_cast<double>(size_) * percent / 100.0;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const int filled = static_cast<int>(percent) * kBarWidth / 100;
    std::string line =
        "\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%3u%%  %s of %s  %s/s  ", percent, Bytes(sent).c_str(),
                  Bytes(size_).c_str(), Bytes(seconds > 0 ? sent / seconds : 0).c_str());
    return line + numbers + stageText_ + "\x1b[K";  // clear what a longer line left
}

void ProgressPrinter::progress(std::uint32_t percent) {
    if (terminal_) {
        std::fputs(barLine(percent).c_str(), out_);
        barShown_ = true;
    }
    std::fflush(out_);
}

void ProgressPrinter::error(int) {
    if (barShown_) std::fputc('\n', out_);
    std::fflush(out_);
}

void ProgressPrinter::stage(int stage) {
    showStage(stage);
    std::fflush(out_);
}

void ProgressPrinter::showStage(int stage) {
    if (const auto texts = StageTextsOf(stage)) stageText_ = texts->middle;
    if (stage == STAGE_DONE) stageText_ = "Done.";
    if (!terminal_) {
        std::fprintf(out_, "%s\n", stageText_.c_str());
        return;
    }
    if (stage == STAGE_SENDING) return;  // the bar shows it with the first piece
    std::fputs(barLine(100).c_str(), out_);
    if (stage == STAGE_DONE) std::fputc('\n', out_);
    barShown_ = stage != STAGE_DONE;
}

}  // namespace imgdl::cli
