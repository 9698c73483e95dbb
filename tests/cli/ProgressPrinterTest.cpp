#include <gmock/gmock.h>

#include <cstdio>
#include <memory>
#include <string>

#include "ProgressPrinter.h"
#include "session/DownloadProtocol.h"

namespace imgdl::cli {
namespace {

using testing::HasSubstr;

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Everything the printer wrote for a successful image session.
std::string PrintSession(bool terminal) {
    std::unique_ptr<std::FILE, Closer> out(std::tmpfile());
    ProgressPrinter printer(out.get(), terminal, 3 * 1024 * 1024);
    printer.stage(STAGE_SENDING);
    for (std::uint32_t percent : {33u, 66u, 100u}) printer.progress(percent);
    printer.stage(STAGE_WRITING);
    printer.stage(STAGE_DONE);
    std::string text(static_cast<std::size_t>(std::ftell(out.get())), '\0');
    std::rewind(out.get());
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), out.get()), text.size());
    return text;
}

TEST(ProgressPrinter, TerminalShowsABarWithBytesRateAndStage) {
    const std::string text = PrintSession(true);
    EXPECT_THAT(text, HasSubstr("\r[#########.....................]  33%  1013.8 KiB of 3.0 MiB"));
    EXPECT_THAT(text, HasSubstr("100%  3.0 MiB of 3.0 MiB"));
    EXPECT_THAT(text, HasSubstr("/s  Downloading..."));
    EXPECT_THAT(text, HasSubstr("Now, Writing a image."));
    EXPECT_EQ(text.back(), '\n');
}

TEST(ProgressPrinter, ElsewhereOneLinePerStage) {
    EXPECT_EQ(PrintSession(false), "Downloading...\nNow, Writing a image.\nDone.\n");
}

}  // namespace
}  // namespace imgdl::cli
