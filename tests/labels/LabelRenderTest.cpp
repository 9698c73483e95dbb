// Labels drawn as a printer gets them and read back with zbarimg, the reader of Debian's
// zbar-tools: both barcodes must give back exactly the unit's numbers.
#include <gmock/gmock.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>

#include "labels/LabelRender.h"
#include "support/TempDir.h"

namespace imgdl::labels {
namespace {

using Symbols = std::set<std::string>;

bool Have(const char* program) {
    return std::system(("command -v " + std::string(program) + " > /dev/null").c_str()) == 0;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// What zbarimg reads in the image file, one symbol's text per entry.
Symbols Decode(const std::string& path) {
    Symbols found;
    std::istringstream lines(Output("zbarimg --raw -q '" + path + "' 2>/dev/null"));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) found.insert(line);
    return found;
}

std::string Render(const LabelData& label, const LabelLayout& layout, LabelFormat format) {
    const LabelData labels[] = {label};
    auto rendered = RenderLabels(labels, layout, format);
    if (auto* e = std::get_if<RenderError>(&rendered)) {
        ADD_FAILURE() << e->message;
        return {};
    }
    return std::get<std::string>(rendered);
}

LabelLayout LayoutOf(const std::string& text) {
    return std::get<LabelLayout>(ParseLabelLayout(text, "test"));
}

class LabelRender : public testing::Test {
  protected:
    void SetUp() override {
        if (!Have("zbarimg")) GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    }
    test::TempDir dir_;
};

TEST_F(LabelRender, BothBarcodesScanBackToTheUnitsNumbers) {
    const struct {
        std::uint64_t mac;
        std::uint32_t serial;
        const char* mark;
    } units[] = {
        {0x0012AB3456CD, 1234, ""},
        {0x000000000000, 0, ""},
        {0xFFFFFFFFFFFF, 4294967295u, "REPRINT 12, NOT DONE: uncertain"},
    };
    for (const auto& u : units) {
        const LabelData label{u.mac, u.serial, "10.2.33-rc1", "2026-12-10", u.mark};
        const std::string png = dir_.file("label.png");
        Write(png, Render(label, LabelLayout{}, LabelFormat::Png));
        EXPECT_EQ(Decode(png), (Symbols{BareMac(u.mac), QrText(label)})) << BareMac(u.mac);
    }
    EXPECT_EQ(QrText({0x0012AB3456CD, 1234, "", "", ""}), "MAC=0012AB3456CD;SN=1234");
    EXPECT_EQ(ColonMac(0x0012AB3456CD), "00:12:AB:34:56:CD");
}

TEST_F(LabelRender, OtherSizesAndFieldsScanToo) {
    const LabelData label{0x0012AB3456CD, 77, "1.2.3", "2026-12-10", ""};
    const std::string mac = "0012AB3456CD", qr = "MAC=0012AB3456CD;SN=77";
    const struct {
        const char* layout;
        Symbols expected;
    } cases[] = {
        {"width = 50\nheight = 25\ndpi = 203", {mac, qr}},
        {"width = 100\nheight = 50\ndpi = 600", {mac, qr}},
        {"fields = mac code128", {mac}},
        {"fields = serial qr", {qr}},
    };
    for (const auto& c : cases) {
        const std::string png = dir_.file("label.png");
        Write(png, Render(label, LayoutOf(c.layout), LabelFormat::Png));
        EXPECT_EQ(Decode(png), c.expected) << c.layout;
    }
}

TEST_F(LabelRender, APdfHasTheAskedPageSizeAndAPagePerLabel) {
    const LabelData one{0x0012AB3456CD, 1, "1.2.3", "2026-12-10", ""};
    const std::vector<LabelData> three(3, one);
    const struct {
        const char* layout;
        const char* mediaBox;  // in points: mm / 25.4 * 72
    } cases[] = {
        {"", "0 0 170.07874 85.03937"},
        {"width = 100\nheight = 50\ndpi = 203", "0 0 283.464567 141.732283"},
    };
    for (const auto& c : cases) {
        auto pdf = RenderLabels(three, LayoutOf(c.layout), LabelFormat::Pdf);
        ASSERT_TRUE(std::holds_alternative<std::string>(pdf));
        const std::string& bytes = std::get<std::string>(pdf);
        EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
        const std::regex box(R"(/MediaBox \[ ([0-9. ]+) \])");
        int pages = 0;
        for (auto it = std::sregex_iterator(bytes.begin(), bytes.end(), box);
             it != std::sregex_iterator(); ++it, ++pages)
            EXPECT_EQ((*it)[1].str(), c.mediaBox) << c.layout;
        EXPECT_EQ(pages, 3) << c.layout;
    }
}

TEST_F(LabelRender, AnSvgIsMillimetresAndRendersToAScannableImage) {
    if (!Have("xmllint") || !Have("rsvg-convert"))
        GTEST_SKIP() << "xmllint or rsvg-convert missing";
    const LabelData label{0x0012AB3456CD, 1234, "1.2.3", "2026-12-10", "REPRINT 1"};
    const std::string svg = dir_.file("label.svg"), png = dir_.file("from-svg.png");
    Write(svg, Render(label, LabelLayout{}, LabelFormat::Svg));
    EXPECT_EQ(Output("xmllint --xpath 'name(/*)' '" + svg + "'"), "svg\n");
    EXPECT_EQ(Output("xmllint --xpath 'string(/*/@width)' '" + svg + "'"), "60mm\n");
    ASSERT_EQ(std::system(("rsvg-convert -d 300 -p 300 -o '" + png + "' '" + svg + "'").c_str()),
              0);
    EXPECT_EQ(Decode(png), (Symbols{"0012AB3456CD", QrText(label)}));
}

TEST(LabelRenderErrors, RefusedWithAReason) {
    const LabelData label{0x0012AB3456CD, 1, "", "2026-12-10", ""};
    const std::vector<LabelData> two(2, label);
    const auto tiny =
        RenderLabels({&label, 1}, LayoutOf("width = 10\nheight = 10\ndpi = 100"), LabelFormat::Png);
    ASSERT_TRUE(std::holds_alternative<RenderError>(tiny));
    EXPECT_THAT(std::get<RenderError>(tiny).message, testing::HasSubstr("too narrow"));
    for (const LabelFormat format : {LabelFormat::Png, LabelFormat::Svg})
        EXPECT_TRUE(std::holds_alternative<RenderError>(RenderLabels(two, {}, format)));
    EXPECT_TRUE(std::holds_alternative<RenderError>(RenderLabels({}, {}, LabelFormat::Pdf)));

    const struct {
        const char* path;
        std::optional<LabelFormat> format;
    } names[] = {{"a.pdf", LabelFormat::Pdf}, {"dir.d/A.PNG", LabelFormat::Png},
                 {"x.Svg", LabelFormat::Svg}, {"label.txt", std::nullopt},
                 {"pdf", std::nullopt},       {"label.pdf/", std::nullopt}};
    for (const auto& n : names) EXPECT_EQ(LabelFormatOf(n.path), n.format) << n.path;
}

}  // namespace
}  // namespace imgdl::labels
