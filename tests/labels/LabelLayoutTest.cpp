// Layout files as a person writes them: defaults, each key, and every mistake named with
// its line.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include "labels/LabelLayout.h"
#include "support/TempDir.h"

namespace imgdl::labels {
namespace {

using testing::HasSubstr;

TEST(LabelLayoutFile, KeysCommentsAndDefaults) {
    const auto parsed = ParseLabelLayout(
        "# a 100 x 50 label\n\n  width = 100   # mm\nheight=50\r\ndpi = 203\nfields = qr mac qr\n",
        "big.layout");
    ASSERT_TRUE(std::holds_alternative<LabelLayout>(parsed))
        << std::get<LayoutError>(parsed).message;
    const auto& layout = std::get<LabelLayout>(parsed);
    EXPECT_EQ(layout.widthMm, 100);
    EXPECT_EQ(layout.heightMm, 50);
    EXPECT_EQ(layout.dpi, 203);
    EXPECT_EQ(layout.fields, (std::vector<LabelField>{LabelField::Qr, LabelField::Mac}));
    EXPECT_EQ(layout.widthDots(), 799);

    const auto empty = std::get<LabelLayout>(ParseLabelLayout("# nothing\n", "x"));
    EXPECT_EQ(empty.widthMm, 60);
    EXPECT_EQ(empty.heightMm, 30);
    EXPECT_EQ(empty.dpi, 300);
    EXPECT_EQ(empty.fields.size(), 6u);
}

TEST(LabelLayoutFile, MistakesNameTheirLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"widht = 60", "l:1: unknown key 'widht'"},
        {"\nwidth 60", "l:2: expected 'key = value', got 'width 60'"},
        {"width = 5", "l:1: width must be a length in mm from 10 to 300, got '5'"},
        {"height = 30mm", "l:1: height must be a length in mm"},
        {"width = nan", "l:1: width must be a length in mm"},
        {"dpi = 300.5", "l:1: dpi must be a whole number from 100 to 1200"},
        {"dpi = 9999", "l:1: dpi must be a whole number"},
        {"fields = mac barcode", "l:1: unknown field 'barcode'"},
        {"fields =", "l:1: fields names nothing to show"},
        {"dpi = 300\n# again\ndpi = 600", "l:3: dpi is given twice"},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseLabelLayout(c.text, "l");
        ASSERT_TRUE(std::holds_alternative<LayoutError>(parsed)) << c.text;
        EXPECT_THAT(std::get<LayoutError>(parsed).message, HasSubstr(c.error)) << c.text;
    }
}

// A folder or a FIFO where the file should be is refused at once, never waited on.
TEST(LabelLayoutFile, OnlyARegularFileIsRead) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    for (const std::string& path : {dir.path().string(), dir.file("fifo"), dir.file("missing")}) {
        const auto read = ReadLabelLayout(path);
        ASSERT_TRUE(std::holds_alternative<LayoutError>(read)) << path;
        EXPECT_THAT(std::get<LayoutError>(read).message, HasSubstr(path));
    }
}

}  // namespace
}  // namespace imgdl::labels
