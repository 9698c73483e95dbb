// Which program arguments open the line window, and with which station file.
#include <gtest/gtest.h>

#include <vector>

#include "line/LineApp.h"

namespace imgdl::test {
namespace {

TEST(LineArgument, OpensTheLineWindowOnlyWhenAsked) {
    const struct {
        std::vector<const char*> args;
        std::optional<std::string> file;
    } cases[] = {
        {{"image-downloader"}, std::nullopt},
        {{"image-downloader", "-style", "fusion"}, std::nullopt},
        {{"image-downloader", "--line"}, ""},
        {{"image-downloader", "--line", "bench.station"}, "bench.station"},
        {{"image-downloader", "--line", "-platform", "xcb"}, ""},
        {{"image-downloader", "-platform", "xcb", "--line", "/etc/line/a b"}, "/etc/line/a b"},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv;
        for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
        EXPECT_EQ(line::LineArgument(argv), c.file) << c.args.size();
    }
}

}  // namespace
}  // namespace imgdl::test
