#include "labels/LabelRender.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <vector>

#include "labels/Barcode.h"

namespace imgdl::labels {
namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

struct Box {
    int x, y, width, height;  // in dots
};

int Dots(double mm, int dpi) {
    return static_cast<int>(std::lround(mm / 25.4 * dpi));
}

// A symbol at `module` dots per module, its quiet zone included in `box`.
void DrawSymbol(cairo_t* cr, const BarcodeShape& shape, Box box, int module) {
    cairo_save(cr);
    // Bars on whole dots: no grey edges for a reader to doubt.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    for (const ModuleRect& r : shape.dark)
        cairo_rectangle(cr, box.x + r.x * module, box.y + r.y * module, r.width * module,
                        shape.modulesHigh == 1 ? box.height : r.height * module);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_fill(cr);
    cairo_restore(cr);
}

struct TextLine {
    std::string text;
    bool bold = false;
    bool inverted = false;  // white on black: a mark nobody overlooks
};

void SetFont(cairo_t* cr, bool bold, double size) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

// The lines from top to bottom of `box`, one size for all, the largest that fits.
void DrawLines(cairo_t* cr, const std::vector<TextLine>& lines, Box box) {
    if (lines.empty() || box.width <= 0 || box.height <= 0) return;
    const double pitch = static_cast<double>(box.height) / static_cast<double>(lines.size());
    double size = pitch * 0.78;
    for (const TextLine& line : lines) {
        SetFont(cr, line.bold, size);
        cairo_text_extents_t e;
        cairo_text_extents(cr, line.text.c_str(), &e);
        const double room = box.width - (line.inverted ? pitch * 0.3 : 0);
        if (e.x_advance > room) size *= room / e.x_advance;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TextLine& line = lines[i];
        SetFont(cr, line.bold, size);
        cairo_font_extents_t f;
        cairo_font_extents(cr, &f);
        const double top = box.y + pitch * static_cast<double>(i);
        const double baseline = top + (pitch + f.ascent - f.descent) / 2;
        double x = box.x;
        if (line.inverted) {
            cairo_text_extents_t e;
            cairo_text_extents(cr, line.text.c_str(), &e);
            cairo_rectangle(cr, box.x, top + pitch * 0.05, e.x_advance + pitch * 0.3, pitch * 0.9);
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_fill(cr);
            x += pitch * 0.15;
            cairo_set_source_rgb(cr, 1, 1, 1);
        } else {
            cairo_set_source_rgb(cr, 0, 0, 0);
        }
        cairo_move_to(cr, x, baseline);
        cairo_show_text(cr, line.text.c_str());
    }
}

std::vector<TextLine> LinesOf(const LabelData& label, const LabelLayout& layout) {
    std::vector<TextLine> lines;
    if (!label.mark.empty()) lines.push_back({label.mark, true, true});
    for (const LabelField field : layout.fields) {
        switch (field) {
            case LabelField::Mac:
                lines.push_back({"MAC " + ColonMac(label.mac), true, false});
                break;
            case LabelField::Serial:
                lines.push_back({"SN " + std::to_string(label.serial), false, false});
                break;
            case LabelField::Version:
                lines.push_back(
                    {"FW " + (label.version.empty() ? "-" : label.version), false, false});
                break;
            case LabelField::Date:
                lines.push_back({label.date, false, false});
                break;
            case LabelField::Code128:
            case LabelField::Qr:
                break;
        }
    }
    return lines;
}

// One label into `cr`, whose unit is one dot. An error when a barcode cannot fit.
std::optional<RenderError> DrawLabel(cairo_t* cr, const LabelData& label,
                                     const LabelLayout& layout) {
    const int margin = Dots(1.5, layout.dpi), gap = Dots(1, layout.dpi);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    Box area{margin, margin, layout.widthDots() - 2 * margin, layout.heightDots() - 2 * margin};
    if (layout.shows(LabelField::Code128)) {
        auto shape = EncodeBarcode(Symbology::Code128, BareMac(label.mac));
        if (auto* e = std::get_if<BarcodeError>(&shape)) return RenderError{e->message};
        const auto& bars = std::get<BarcodeShape>(shape);
        const int modules = bars.modulesWide + 2 * QuietModules(Symbology::Code128);
        const int module = area.width / modules;
        if (module < 1) return RenderError{"the label is too narrow for the MAC's barcode"};
        const int height = std::max(Dots(5, layout.dpi), area.height * 3 / 10);
        const int width = bars.modulesWide * module;
        DrawSymbol(
            cr, bars,
            {area.x + (area.width - width) / 2, area.y + area.height - height, width, height},
            module);
        area.height -= height + gap;
    }
    if (layout.shows(LabelField::Qr)) {
        auto shape = EncodeBarcode(Symbology::Qr, QrText(label));
        if (auto* e = std::get_if<BarcodeError>(&shape)) return RenderError{e->message};
        const auto& qr = std::get<BarcodeShape>(shape);
        const int quiet = QuietModules(Symbology::Qr);
        const int side = std::min(area.height, area.width / 2);
        const int module = side / (qr.modulesWide + 2 * quiet);
        if (module < 1) return RenderError{"the label is too small for the QR code"};
        const int whole = (qr.modulesWide + 2 * quiet) * module;
        const int x = area.x + area.width - whole;
        DrawSymbol(cr, qr,
                   {x + quiet * module, area.y + (area.height - whole) / 2 + quiet * module,
                    qr.modulesWide * module, qr.modulesWide * module},
                   module);
        area.width = x - area.x;
    }
    DrawLines(cr, LinesOf(label, layout), area);
    return std::nullopt;
}

// The surface's status after drawing, as an error when it failed.
std::optional<RenderError> Finish(cairo_surface_t* surface) {
    cairo_surface_finish(surface);
    if (const cairo_status_t s = cairo_surface_status(surface); s != CAIRO_STATUS_SUCCESS)
        return RenderError{cairo_status_to_string(s)};
    return std::nullopt;
}

std::variant<std::string, RenderError> RenderVector(std::span<const LabelData> labels,
                                                    const LabelLayout& layout, LabelFormat format) {
    std::string bytes;
    // The page is exactly the asked size (PDF in points, SVG in mm); a dot is a hair off
    // 1/dpi inch to fill it.
    const double unit = format == LabelFormat::Pdf ? 72 / 25.4 : 1;
    const double width = layout.widthMm * unit, height = layout.heightMm * unit;
    const Surface surface(format == LabelFormat::Pdf
                              ? cairo_pdf_surface_create_for_stream(Append, &bytes, width, height)
                              : cairo_svg_surface_create_for_stream(Append, &bytes, width, height));
    if (format == LabelFormat::Svg)
        cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_MM);
    const Context cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), width / layout.widthDots(), height / layout.heightDots());
    for (const LabelData& label : labels) {
        if (auto e = DrawLabel(cr.get(), label, layout)) return *e;
        cairo_show_page(cr.get());
    }
    if (auto e = Finish(surface.get())) return *e;
    return bytes;
}

std::variant<std::string, RenderError> RenderPng(const LabelData& label,
                                                 const LabelLayout& layout) {
    const Surface surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, layout.widthDots(), layout.heightDots()));
    const Context cr(cairo_create(surface.get()));
    if (auto e = DrawLabel(cr.get(), label, layout)) return *e;
    std::string bytes;
    cairo_surface_flush(surface.get());
    if (const cairo_status_t s = cairo_surface_write_to_png_stream(surface.get(), Append, &bytes);
        s != CAIRO_STATUS_SUCCESS)
        return RenderError{cairo_status_to_string(s)};
    return bytes;
}

}  // namespace

std::optional<LabelFormat> LabelFormatOf(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string ext(path.substr(dot + 1));
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "pdf") return LabelFormat::Pdf;
    if (ext == "png") return LabelFormat::Png;
    if (ext == "svg") return LabelFormat::Svg;
    return std::nullopt;
}

std::variant<std::string, RenderError> RenderLabels(std::span<const LabelData> labels,
                                                    const LabelLayout& layout, LabelFormat format) {
    if (labels.empty()) return RenderError{"no label to draw"};
    if (format != LabelFormat::Pdf && labels.size() != 1)
        return RenderError{"a PNG or SVG file holds one label; several go into a PDF"};
    if (format == LabelFormat::Png) return RenderPng(labels.front(), layout);
    return RenderVector(labels, layout, format);
}

}  // namespace imgdl::labels
